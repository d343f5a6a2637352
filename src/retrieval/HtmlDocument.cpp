#include "HtmlDocument.h"

#include "Encoding.h"

#include <QRegularExpression>

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <cstring>

namespace {

const xmlChar *X(const char *s)
{
    return reinterpret_cast<const xmlChar *>(s);
}

QString FromX(const xmlChar *s)
{
    return s == nullptr ? QString() : QString::fromUtf8(reinterpret_cast<const char *>(s));
}

bool IsTag(const xmlNode *node, const char *tag)
{
    return node != nullptr && node->type == XML_ELEMENT_NODE && node->name != nullptr
        && std::strcmp(reinterpret_cast<const char *>(node->name), tag) == 0;
}

bool IsField(const xmlNode *node)
{
    return IsTag(node, "input") || IsTag(node, "select") || IsTag(node, "textarea") || IsTag(node, "button");
}

QString Attr(const xmlNode *node, const char *name)
{
    xmlChar *value = xmlGetProp(node, X(name));
    QString result = FromX(value);
    xmlFree(value);
    return result;
}

bool HasAttr(const xmlNode *node, const char *name)
{
    return xmlHasProp(node, X(name)) != nullptr;
}

QString TextOf(const xmlNode *node)
{
    xmlChar *content = xmlNodeGetContent(node);
    QString result = FromX(content);
    xmlFree(content);
    return result;
}

// Preorder walk; the visitor returns false to stop.
template <class Visit> bool Walk(xmlNode *node, Visit &&visit)
{
    for (; node != nullptr; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        if (!visit(node))
            return false;
        if (!Walk(node->children, visit))
            return false;
    }
    return true;
}

bool HasFieldDescendant(xmlNode *form)
{
    bool found = false;
    Walk(form->children, [&](xmlNode *n) {
        found = IsField(n);
        return !found;
    });
    return found;
}

QString OptionValue(const xmlNode *option)
{
    if (HasAttr(option, "value"))
        return Attr(option, "value");
    return TextOf(option).simplified();
}

QList<xmlNode *> Options(xmlNode *select)
{
    QList<xmlNode *> options;
    Walk(select->children, [&](xmlNode *n) {
        if (IsTag(n, "option"))
            options.append(n);
        return true;
    });
    return options;
}

bool Disabled(const xmlNode *field)
{
    if (HasAttr(field, "disabled"))
        return true;
    for (const xmlNode *p = field->parent; p != nullptr; p = p->parent)
        if (IsTag(p, "fieldset") && HasAttr(p, "disabled"))
            return true;
    return false;
}

QString NormaliseNewlines(QString value)
{
    value.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    value.replace(u'\r', u'\n');
    value.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    return value;
}

QByteArray ValidCharset(QByteArray name)
{
    name = name.trimmed().toLower();
    if (name.isEmpty())
        return {};
    return IsKnownCharset(name) ? name : QByteArray();
}

QByteArray EncodeText(const QString &text, const QByteArray &charset)
{
    bool lossless = true;
    QByteArray bytes = EncodeByCharset(text, charset, &lossless);
    if (lossless)
        return bytes;
    // Characters the charset lacks are sent as numeric character references.
    bytes.clear();
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype len = (text[i].isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        const QString one = text.mid(i, len);
        const QByteArray encoded = EncodeByCharset(one, charset, &lossless);
        if (lossless)
            bytes += encoded;
        else
            bytes += "&#" + QByteArray::number(one.toUcs4().value(0)) + ';';
        i += len;
    }
    return bytes;
}

}  // namespace

// ---- HtmlElement ----

QString HtmlElement::TagName() const
{
    return node_ ? FromX(node_->name) : QString();
}
QString HtmlElement::Attribute(const char *name) const
{
    return node_ ? Attr(node_, name) : QString();
}

// ---- free helpers ----

QByteArray CharsetFromContentType(const QByteArray &contentType)
{
    const QList<QByteArray> parts = contentType.split(';');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray part = parts[i].trimmed();
        if (part.toLower().startsWith("charset=")) {
            QByteArray value = part.mid(8).trimmed();
            if (value.size() >= 2 && (value.startsWith('"') || value.startsWith('\'')))
                value = value.mid(1, value.size() - 2);
            return value.trimmed().toLower();
        }
    }
    return {};
}

QByteArray FormUrlEncode(const QString &text, const QByteArray &charset)
{
    const QByteArray bytes = EncodeText(text, charset);
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(bytes.size() * 3);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '*' || c == '-'
            || c == '.' || c == '_') {
            out += char(c);
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

// ---- HtmlDocument ----

HtmlDocument::~HtmlDocument()
{
    if (doc_ != nullptr)
        xmlFreeDoc(doc_);
}

std::unique_ptr<HtmlDocument> HtmlDocument::Parse(const QByteArray &bytes, const QUrl &url,
                                                  const QByteArray &headerCharset)
{
    static const bool initialised = [] {
        xmlInitParser();
        return true;
    }();
    (void)initialised;
    std::unique_ptr<HtmlDocument> d(new HtmlDocument);
    d->url_ = url;
    d->baseUrl_ = url;
    qsizetype markLength = 0;
    QByteArray charset = BomEncoding(bytes, &markLength).toLower();
    const QByteArray data = bytes.sliced(markLength);
    if (charset.isEmpty())
        charset = ValidCharset(headerCharset);
    if (charset.isEmpty())
        charset = ValidCharset(MetaCharset(data));
    if (charset.isEmpty())
        charset = "windows-1251";
    d->charset_ = charset;

    const QByteArray utf8 = DecodeByCharset(data, charset).toUtf8();
    if (!utf8.isEmpty()) {
        d->doc_ = htmlReadMemory(utf8.constData(), int(utf8.size()), nullptr, "UTF-8",
                                 HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET
                                     | HTML_PARSE_IGNORE_ENC | HTML_PARSE_COMPACT);
    }
    if (d->doc_ != nullptr) {
        Walk(xmlDocGetRootElement(d->doc_), [&](xmlNode *n) {
            if (IsTag(n, "base") && HasAttr(n, "href")) {
                const QUrl base = url.resolved(QUrl(Attr(n, "href").trimmed()));
                if (base.isValid())
                    d->baseUrl_ = base;
                return false;
            }
            return true;
        });
    }
    return d;
}

xmlNode *HtmlDocument::Body() const
{
    xmlNode *body = nullptr;
    if (doc_ == nullptr)
        return nullptr;
    Walk(xmlDocGetRootElement(doc_), [&](xmlNode *n) {
        if (IsTag(n, "body"))
            body = n;
        return body == nullptr;
    });
    return body;
}

QString HtmlDocument::BodyOuterHtml() const
{
    return SerializeHtmlElement(Body());
}

HtmlElement HtmlDocument::ElementByName(const QString &name) const
{
    if (doc_ == nullptr || name.isEmpty())
        return {};
    xmlNode *exact = nullptr;
    xmlNode *folded = nullptr;
    Walk(xmlDocGetRootElement(doc_), [&](xmlNode *n) {
        for (const char *attr : {"id", "name"}) {
            if (!HasAttr(n, attr))
                continue;
            const QString value = Attr(n, attr);
            if (value == name) {
                exact = n;
                return false;
            }
            if (folded == nullptr && value.compare(name, Qt::CaseInsensitive) == 0)
                folded = n;
        }
        return true;
    });
    return HtmlElement::Wrap(exact ? exact : folded);
}

QString HtmlDocument::FieldValue(const HtmlElement &field) const
{
    xmlNode *n = field.Node();
    if (IsTag(n, "textarea"))
        return TextOf(n);
    if (IsTag(n, "select")) {
        const QList<xmlNode *> options = Options(n);
        for (xmlNode *o : options)
            if (HasAttr(o, "selected"))
                return OptionValue(o);
        return options.isEmpty() ? QString() : OptionValue(options.first());
    }
    return n ? Attr(n, "value") : QString();
}

bool HtmlDocument::SetFieldValue(const HtmlElement &field, const QString &value)
{
    xmlNode *n = field.Node();
    const QByteArray utf8 = value.toUtf8();
    if (IsTag(n, "input") || IsTag(n, "button")) {
        xmlSetProp(n, X("value"), X(utf8.constData()));
        return true;
    }
    if (IsTag(n, "textarea")) {
        while (n->children != nullptr) {
            xmlNode *child = n->children;
            xmlUnlinkNode(child);
            xmlFreeNode(child);
        }
        xmlAddChild(n, xmlNewDocText(doc_, X(utf8.constData())));
        return true;
    }
    if (IsTag(n, "select")) {
        const QList<xmlNode *> options = Options(n);
        xmlNode *match = nullptr;
        for (xmlNode *o : options)
            if (OptionValue(o) == value) {
                match = o;
                break;
            }
        if (match == nullptr)
            for (xmlNode *o : options)
                if (TextOf(o).simplified() == value.simplified()) {
                    match = o;
                    break;
                }
        if (match == nullptr)
            return false;
        for (xmlNode *o : options)
            if (o != match && HasAttr(o, "selected"))
                xmlUnsetProp(o, X("selected"));
        xmlSetProp(match, X("selected"), X("selected"));
        return true;
    }
    return false;
}

// The form of a field. lastForm is the last form element met before the field
// in document order (the parser may have closed it early, leaving its fields
// after it, as in forms that start inside a table).
static xmlNode *AssociatedForm(xmlNode *doc, xmlNode *field, xmlNode *lastForm)
{
    if (HasAttr(field, "form")) {
        const QString id = Attr(field, "form");
        xmlNode *found = nullptr;
        Walk(doc, [&](xmlNode *n) {
            if (IsTag(n, "form") && Attr(n, "id") == id)
                found = n;
            return found == nullptr;
        });
        return found;
    }
    for (xmlNode *p = field->parent; p != nullptr; p = p->parent)
        if (IsTag(p, "form"))
            return p;
    if (lastForm != nullptr && !HasFieldDescendant(lastForm))
        return lastForm;
    return nullptr;
}

HtmlElement HtmlDocument::FormOf(const HtmlElement &field) const
{
    xmlNode *target = field.Node();
    if (doc_ == nullptr || target == nullptr)
        return {};
    xmlNode *root = xmlDocGetRootElement(doc_);
    xmlNode *lastForm = nullptr;
    Walk(root, [&](xmlNode *n) {
        if (n == target)
            return false;
        if (IsTag(n, "form"))
            lastForm = n;
        return true;
    });
    return HtmlElement::Wrap(AssociatedForm(root, target, lastForm));
}

FormRequest HtmlDocument::BuildSubmission(const HtmlElement &formElement, const HtmlElement &submitter) const
{
    FormRequest request;
    xmlNode *form = formElement.Node();
    if (doc_ == nullptr || !IsTag(form, "form"))
        return request;

    QByteArray charset;
    const QStringList accepted
        = Attr(form, "accept-charset").split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
    for (const QString &name : accepted) {
        charset = ValidCharset(name.toLatin1());
        if (!charset.isEmpty())
            break;
    }
    if (charset.isEmpty())  // the page's own; a UTF-16 page's forms send UTF-8
        charset = charset_.startsWith("utf-16") ? QByteArray("utf-8") : charset_;
    request.charset = charset;

    QList<QPair<QString, QString>> entries;
    xmlNode *root = xmlDocGetRootElement(doc_);
    xmlNode *lastForm = nullptr;
    Walk(root, [&](xmlNode *n) {
        if (IsTag(n, "form")) {
            lastForm = n;
            return true;
        }
        if (!IsField(n) || AssociatedForm(root, n, lastForm) != form || Disabled(n))
            return true;
        const QString name = Attr(n, "name");
        const QString type = Attr(n, "type").trimmed().toLower();
        if (IsTag(n, "button") || IsTag(n, "input")) {
            const bool button
                = IsTag(n, "button") || type == u"submit" || type == u"image" || type == u"reset" || type == u"button";
            if (button) {
                if (n != submitter.Node() || type == u"reset" || type == u"button")
                    return true;
                if (type == u"image") {
                    const QString prefix = name.isEmpty() ? QString() : name + u'.';
                    entries.append({prefix + u'x', QStringLiteral("0")});
                    entries.append({prefix + u'y', QStringLiteral("0")});
                    return true;
                }
            }
        }
        if (name.isEmpty())
            return true;
        if (IsTag(n, "select")) {
            const QList<xmlNode *> options = Options(n);
            bool any = false;
            for (xmlNode *o : options)
                if (HasAttr(o, "selected") && !HasAttr(o, "disabled")) {
                    entries.append({name, OptionValue(o)});
                    any = true;
                    if (!HasAttr(n, "multiple"))
                        break;
                }
            if (!any && !HasAttr(n, "multiple"))
                for (xmlNode *o : options)
                    if (!HasAttr(o, "disabled")) {
                        entries.append({name, OptionValue(o)});
                        break;
                    }
            return true;
        }
        if (IsTag(n, "textarea")) {
            entries.append({name, TextOf(n)});
            return true;
        }
        if (type == u"checkbox" || type == u"radio") {
            if (HasAttr(n, "checked"))
                entries.append({name, HasAttr(n, "value") ? Attr(n, "value") : QStringLiteral("on")});
            return true;
        }
        if (type == u"file") {
            entries.append({name, QString()});
            return true;
        }
        QString value = Attr(n, "value");
        if (type == u"password" && !value.isEmpty())
            request.carriesPassword = true;
        if (type == u"hidden" && name.compare(u"_charset_", Qt::CaseInsensitive) == 0 && value.isEmpty())
            value = QString::fromLatin1(charset);
        entries.append({name, value});
        return true;
    });

    QByteArray encoded;
    for (const auto &[name, value] : entries) {
        if (!encoded.isEmpty())
            encoded += '&';
        encoded += FormUrlEncode(NormaliseNewlines(name), charset);
        encoded += '=';
        encoded += FormUrlEncode(NormaliseNewlines(value), charset);
    }

    const QString action = Attr(form, "action").trimmed();
    QUrl target = action.isEmpty() ? url_ : baseUrl_.resolved(QUrl(action));
    if (!target.isValid() || target.scheme().compare(u"javascript", Qt::CaseInsensitive) == 0)
        return request;  // scripts are never run: no request
    request.post = Attr(form, "method").trimmed().compare(u"post", Qt::CaseInsensitive) == 0;
    if (request.post) {
        request.body = encoded;
    } else {
        target.setQuery(QString::fromLatin1(encoded), QUrl::StrictMode);
    }
    request.url = target;
    return request;
}

bool HtmlDocument::Submit(const HtmlElement &form, const HtmlElement &submitter)
{
    const FormRequest request = BuildSubmission(form, submitter);
    if (!request.url.isValid() || !navigator_)
        return false;
    navigator_(request);
    return true;
}

QString HtmlDocument::Title() const
{
    QString title;
    if (doc_ == nullptr)
        return title;
    Walk(xmlDocGetRootElement(doc_), [&](xmlNode *n) {
        if (!IsTag(n, "title"))
            return true;
        title = TextOf(n).simplified();
        return false;
    });
    return title;
}

QList<QUrl> HtmlDocument::FrameUrls() const
{
    QList<QUrl> urls;
    if (doc_ == nullptr)
        return urls;
    Walk(xmlDocGetRootElement(doc_), [&](xmlNode *n) {
        if ((IsTag(n, "frame") || IsTag(n, "iframe")) && HasAttr(n, "src")) {
            const QString src = Attr(n, "src").trimmed();
            const QUrl url = baseUrl_.resolved(QUrl(src));
            if (!src.isEmpty() && url.isValid() && (url.scheme() == u"http" || url.scheme() == u"https"))
                urls.append(url);
        }
        return true;
    });
    return urls;
}

std::optional<MetaRefresh> HtmlDocument::Refresh() const
{
    if (doc_ == nullptr)
        return std::nullopt;
    std::optional<MetaRefresh> result;
    Walk(xmlDocGetRootElement(doc_), [&](xmlNode *n) {
        if (IsTag(n, "meta") && Attr(n, "http-equiv").trimmed().compare(u"refresh", Qt::CaseInsensitive) == 0) {
            static const QRegularExpression re(
                QStringLiteral("^\\s*(\\d*)(?:\\.\\d*)?\\s*(?:[;,]\\s*(?:url\\s*=\\s*)?(.*))?$"),
                QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
            const QRegularExpressionMatch m = re.match(Attr(n, "content"));
            if (!m.hasMatch())
                return true;
            MetaRefresh refresh;
            refresh.delaySeconds = m.captured(1).isEmpty() ? 0 : qMin(m.captured(1).toInt(), 86400);
            QString target = m.captured(2).trimmed();
            if (target.size() >= 2 && (target.startsWith(u'\'') || target.startsWith(u'"'))) {
                const QChar quote = target[0];
                const qsizetype end = target.indexOf(quote, 1);
                target = target.mid(1, end < 0 ? -1 : end - 1);
            }
            refresh.url = target.isEmpty() ? url_ : baseUrl_.resolved(QUrl(target));
            if (refresh.url.isValid() && (refresh.url.scheme() == u"http" || refresh.url.scheme() == u"https")) {
                result = refresh;
                return false;
            }
        }
        return true;
    });
    return result;
}
