// The body's outer HTML as the account page reader needs it: every block
// element begins on a new line whatever the server's source formatting, the
// text keeps its own line breaks, whitespace that only separates blocks is
// dropped, a no-break space is written as "&nbsp;".

#include "HtmlDocument.h"

#include <libxml/HTMLtree.h>
#include <libxml/tree.h>

#include <cstring>

namespace {

const char *const kBreak = "\r\n";

bool IsOneOf(const xmlChar *name, std::initializer_list<const char *> names)
{
    if (name == nullptr)
        return false;
    for (const char *n : names)
        if (std::strcmp(reinterpret_cast<const char *>(name), n) == 0)
            return true;
    return false;
}

bool IsBlock(const xmlNode *node)
{
    return node != nullptr && node->type == XML_ELEMENT_NODE
        && IsOneOf(node->name, {"address", "article", "aside", "blockquote", "body", "br",
                                "caption", "center", "col", "colgroup", "dd", "details", "dir",
                                "div", "dl", "dt", "fieldset", "figcaption", "figure", "footer",
                                "form", "frame", "frameset", "h1", "h2", "h3", "h4", "h5", "h6",
                                "header", "hr", "html", "iframe", "legend", "li", "main",
                                "menu", "nav", "noframes", "ol", "optgroup", "option", "p",
                                "pre", "section", "summary", "table", "tbody", "td", "tfoot",
                                "th", "thead", "tr", "ul"});
}

bool IsVoid(const xmlNode *node)
{
    return IsOneOf(node->name, {"area", "base", "basefont", "br", "col", "embed", "frame", "hr",
                                "img", "input", "isindex", "keygen", "link", "meta", "param",
                                "source", "track", "wbr"});
}

bool IsRawText(const xmlNode *node)
{
    return IsOneOf(node->name, {"script", "style", "xmp", "plaintext"});
}

bool IsPreformatted(const xmlNode *node)
{
    return IsOneOf(node->name, {"pre", "textarea", "listing"});
}

bool IsSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

// Comments and processing instructions do not separate text from a block.
const xmlNode *ContentSibling(const xmlNode *node, bool forward)
{
    for (node = forward ? node->next : node->prev; node != nullptr;
         node = forward ? node->next : node->prev) {
        if (node->type != XML_COMMENT_NODE && node->type != XML_PI_NODE)
            return node;
    }
    return nullptr;
}

bool BlockBoundary(const xmlNode *text, bool forward)
{
    const xmlNode *sibling = ContentSibling(text, forward);
    if (sibling == nullptr)
        return text->parent == nullptr || IsBlock(text->parent);
    return IsBlock(sibling);
}

class Writer {
public:
    QString out;

    void Element(const xmlNode *node, bool preformatted)
    {
        const bool block = IsBlock(node);
        if (block)
            NewLine();
        else
            AfterBlock();
        out += u'<';
        out += QString::fromUtf8(reinterpret_cast<const char *>(node->name));
        for (const xmlAttr *a = node->properties; a != nullptr; a = a->next) {
            out += u' ';
            out += QString::fromUtf8(reinterpret_cast<const char *>(a->name));
            if (a->children != nullptr) {
                xmlChar *value = xmlNodeListGetString(node->doc, a->children, 1);
                out += QLatin1String("=\"");
                Escape(QString::fromUtf8(reinterpret_cast<const char *>(value)), true);
                out += u'"';
                xmlFree(value);
            }
        }
        out += u'>';
        pendingBreak_ = false;
        if (IsVoid(node)) {
            pendingBreak_ = block && !IsOneOf(node->name, {"br"});
            return;
        }
        const bool raw = IsRawText(node);
        const bool pre = preformatted || IsPreformatted(node);
        for (const xmlNode *child = node->children; child != nullptr; child = child->next) {
            if (raw && (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE))
                out += QString::fromUtf8(reinterpret_cast<const char *>(child->content));
            else
                Node(child, pre);
        }
        out += QLatin1String("</");
        out += QString::fromUtf8(reinterpret_cast<const char *>(node->name));
        out += u'>';
        pendingBreak_ = block;
    }

    void Node(const xmlNode *node, bool preformatted)
    {
        switch (node->type) {
        case XML_ELEMENT_NODE:
            Element(node, preformatted);
            break;
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
            Text(node, preformatted);
            break;
        case XML_COMMENT_NODE:
            out += QLatin1String("<!--");
            out += QString::fromUtf8(reinterpret_cast<const char *>(node->content));
            out += QLatin1String("-->");
            break;
        case XML_ENTITY_REF_NODE:
            AfterBlock();
            out += u'&';
            out += QString::fromUtf8(reinterpret_cast<const char *>(node->name));
            out += u';';
            break;
        default:
            break;
        }
    }

private:
    bool pendingBreak_ = false;

    bool AtLineStart() const { return out.isEmpty() || out.endsWith(u'\n'); }

    void NewLine()
    {
        if (!AtLineStart())
            out += QLatin1String(kBreak);
        pendingBreak_ = false;
    }

    // Content that follows the end of a block begins a new line too.
    void AfterBlock()
    {
        if (pendingBreak_)
            NewLine();
    }

    void Text(const xmlNode *node, bool preformatted)
    {
        QString text = QString::fromUtf8(reinterpret_cast<const char *>(node->content));
        if (!preformatted) {
            qsizetype begin = 0;
            qsizetype end = text.size();
            if (BlockBoundary(node, false))
                while (begin < end && IsSpace(text[begin]))
                    ++begin;
            if (BlockBoundary(node, true))
                while (end > begin && IsSpace(text[end - 1]))
                    --end;
            text = text.mid(begin, end - begin);
        }
        if (text.isEmpty())
            return;
        AfterBlock();
        Escape(text, false);
    }

    void Escape(const QString &text, bool attribute)
    {
        out.reserve(out.size() + text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            switch (c.unicode()) {
            case u'&': out += QLatin1String("&amp;"); break;
            case u'<': out += QLatin1String("&lt;"); break;
            case u'>': out += QLatin1String("&gt;"); break;
            case 0x00A0: out += QLatin1String("&nbsp;"); break;
            case u'"':
                if (attribute)
                    out += QLatin1String("&quot;");
                else
                    out += c;
                break;
            case u'\r':
                if (attribute) {
                    out += c;
                    break;
                }
                out += QLatin1String(kBreak);
                if (i + 1 < text.size() && text[i + 1] == u'\n')
                    ++i;
                break;
            case u'\n':
                if (attribute)
                    out += c;
                else
                    out += QLatin1String(kBreak);
                break;
            default: out += c;
            }
        }
    }
};

} // namespace

QString SerializeHtmlElement(xmlNode *element)
{
    if (element == nullptr)
        return QStringLiteral("<body></body>");
    Writer writer;
    writer.out.reserve(4096);
    writer.Element(element, false);
    return writer.out;
}
