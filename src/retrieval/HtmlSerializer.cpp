// The body's outer HTML as the account page reader needs it: every block
// element begins on a new line whatever the server's source formatting, the
// text keeps its own line breaks, whitespace that only separates blocks is
// dropped, a no-break space is written as "&nbsp;".

#include "HtmlDocument.h"

#include <libxml/tree.h>

#include <QHash>

#include <cstring>
#include <string_view>
#include <unordered_map>

namespace {

const char *const kBreak = "\r\n";

enum Kind : unsigned char { kBlock = 1, kVoid = 2, kRawText = 4, kPreformatted = 8 };

unsigned char KindByName(const char *name)
{
    static const std::unordered_map<std::string_view, unsigned char> kinds = [] {
        std::unordered_map<std::string_view, unsigned char> m;
        for (const char *n :
             {"address",  "article",    "aside",  "blockquote", "body",    "br",      "caption",  "center",
              "col",      "colgroup",   "dd",     "details",    "dir",     "div",     "dl",       "dt",
              "fieldset", "figcaption", "figure", "footer",     "form",    "frame",   "frameset", "h1",
              "h2",       "h3",         "h4",     "h5",         "h6",      "header",  "hr",       "html",
              "iframe",   "legend",     "li",     "main",       "menu",    "nav",     "noframes", "ol",
              "optgroup", "option",     "p",      "pre",        "section", "summary", "table",    "tbody",
              "td",       "tfoot",      "th",     "thead",      "tr",      "ul"})
            m[n] |= kBlock;
        for (const char *n : {"area", "base", "basefont", "br", "col", "embed", "frame", "hr", "img", "input",
                              "isindex", "keygen", "link", "meta", "param", "source", "track", "wbr"})
            m[n] |= kVoid;
        for (const char *n : {"script", "style", "xmp", "plaintext"})
            m[n] |= kRawText;
        for (const char *n : {"pre", "textarea", "listing"})
            m[n] |= kPreformatted;
        return m;
    }();
    const auto it = kinds.find(name);
    return it == kinds.end() ? 0 : it->second;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

class Writer {
public:
    QByteArray out;  // UTF-8

    void Element(const xmlNode *node, bool preformatted)
    {
        const unsigned char kind = Kind(node);
        const bool block = kind & kBlock;
        if (block)
            NewLine();
        else
            AfterBlock();
        out += '<';
        out += reinterpret_cast<const char *>(node->name);
        for (const xmlAttr *a = node->properties; a != nullptr; a = a->next) {
            out += ' ';
            out += reinterpret_cast<const char *>(a->name);
            if (a->children != nullptr) {
                out += "=\"";
                if (a->children->next == nullptr && a->children->type == XML_TEXT_NODE) {
                    if (a->children->content != nullptr)
                        Escape(reinterpret_cast<const char *>(a->children->content), true);
                } else if (xmlChar *value = xmlNodeListGetString(node->doc, a->children, 1)) {
                    Escape(reinterpret_cast<const char *>(value), true);
                    xmlFree(value);
                }
                out += '"';
            }
        }
        out += '>';
        pendingBreak_ = false;
        if (kind & kVoid) {
            pendingBreak_ = block && std::strcmp(reinterpret_cast<const char *>(node->name), "br") != 0;
            return;
        }
        const bool raw = kind & kRawText;
        const bool pre = preformatted || (kind & kPreformatted);
        for (const xmlNode *child = node->children; child != nullptr; child = child->next) {
            if (raw && (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE)) {
                if (child->content != nullptr)
                    out += reinterpret_cast<const char *>(child->content);
            } else {
                Node(child, pre);
            }
        }
        out += "</";
        out += reinterpret_cast<const char *>(node->name);
        out += '>';
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
            out += "<!--";
            if (node->content != nullptr)
                out += reinterpret_cast<const char *>(node->content);
            out += "-->";
            break;
        case XML_ENTITY_REF_NODE:
            AfterBlock();
            out += '&';
            out += reinterpret_cast<const char *>(node->name);
            out += ';';
            break;
        default:
            break;
        }
    }

private:
    bool pendingBreak_ = false;
    // Element names are shared strings of the document's dictionary: the kind
    // of a name is looked up once per name.
    QHash<const void *, unsigned char> kinds_;

    unsigned char Kind(const xmlNode *node)
    {
        if (node == nullptr || node->type != XML_ELEMENT_NODE || node->name == nullptr)
            return 0;
        auto it = kinds_.constFind(node->name);
        if (it != kinds_.constEnd())
            return *it;
        const unsigned char kind = KindByName(reinterpret_cast<const char *>(node->name));
        kinds_.insert(node->name, kind);
        return kind;
    }

    // Comments and processing instructions do not separate text from a block.
    bool BlockBoundary(const xmlNode *text, bool forward)
    {
        const xmlNode *node = forward ? text->next : text->prev;
        while (node != nullptr && (node->type == XML_COMMENT_NODE || node->type == XML_PI_NODE))
            node = forward ? node->next : node->prev;
        if (node == nullptr)
            return text->parent == nullptr || (Kind(text->parent) & kBlock);
        return Kind(node) & kBlock;
    }

    bool AtLineStart() const { return out.isEmpty() || out.endsWith('\n'); }

    void NewLine()
    {
        if (!AtLineStart())
            out += kBreak;
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
        const char *text = reinterpret_cast<const char *>(node->content);
        if (text == nullptr)
            return;
        size_t begin = 0;
        size_t end = std::strlen(text);
        if (!preformatted) {
            if (BlockBoundary(node, false))
                while (begin < end && IsSpace(text[begin]))
                    ++begin;
            if (BlockBoundary(node, true)) {
                // Before the end of a block only the source's line break and
                // what follows it go: a cell "Лицевой счет: " keeps its blank,
                // which the account page's markers include.
                size_t run = end;
                while (run > begin && IsSpace(text[run - 1]))
                    --run;
                for (size_t i = run; i < end; ++i) {
                    if (text[i] == '\n' || text[i] == '\r') {
                        end = i;
                        break;
                    }
                }
            }
        }
        if (begin == end)
            return;
        AfterBlock();
        Escape(std::string_view(text + begin, end - begin), false);
    }

    void Escape(std::string_view text, bool attribute)
    {
        size_t plain = 0;  // start of the run not yet written
        auto flush = [&](size_t i) { out.append(text.data() + plain, qsizetype(i - plain)); };
        for (size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            const char *replacement = nullptr;
            size_t skip = 1;
            switch (c) {
            case '&':
                replacement = "&amp;";
                break;
            case '<':
                replacement = "&lt;";
                break;
            case '>':
                replacement = "&gt;";
                break;
            case '"':
                if (attribute)
                    replacement = "&quot;";
                break;
            case '\xC2':  // U+00A0 is C2 A0 in UTF-8
                if (i + 1 < text.size() && text[i + 1] == '\xA0') {
                    replacement = "&nbsp;";
                    skip = 2;
                }
                break;
            case '\r':
                if (!attribute) {
                    replacement = kBreak;
                    if (i + 1 < text.size() && text[i + 1] == '\n')
                        skip = 2;
                }
                break;
            case '\n':
                if (!attribute)
                    replacement = kBreak;
                break;
            default:
                break;
            }
            if (replacement == nullptr)
                continue;
            flush(i);
            out += replacement;
            i += skip - 1;
            plain = i + 1;
        }
        flush(text.size());
    }
};

}  // namespace

QString SerializeHtmlElement(xmlNode *element)
{
    if (element == nullptr)
        return QStringLiteral("<body></body>");
    Writer writer;
    writer.out.reserve(16384);
    writer.Element(element, false);
    // A body without content is "<body></body>" whatever its attributes: the
    // loaded-pages list recognises empty documents by that text.
    const qsizetype startTagEnd = writer.out.indexOf('>');  // attribute values escape '>'
    if (startTagEnd + 1 + 7 == writer.out.size() && writer.out.endsWith("</body>"))
        return QStringLiteral("<body></body>");
    return QString::fromUtf8(writer.out);
}
