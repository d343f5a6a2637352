#pragma once
// One loaded HTML document of the browser: libxml2's HTML tree, the body's
// outer HTML, element look-up, form fields and the request a form submits.
// Scripts are never run; the tree is data only.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

struct _xmlDoc;
struct _xmlNode;

class HtmlDocument;

// A light handle on one element of a document; valid while its document lives.
class HtmlElement {
public:
    HtmlElement() = default;
    bool IsNull() const { return node_ == nullptr; }
    explicit operator bool() const { return node_ != nullptr; }
    bool operator==(const HtmlElement &other) const { return node_ == other.node_; }

    QString TagName() const;  // lower case
    QString Attribute(const char *name) const;

    _xmlNode *Node() const { return node_; }
    static HtmlElement Wrap(_xmlNode *node)
    {
        HtmlElement e;
        e.node_ = node;
        return e;
    }

private:
    _xmlNode *node_ = nullptr;
};

// What a form submission sends: GET with the fields in the query, or a POST body.
struct FormRequest {
    bool post = false;
    QUrl url;
    QByteArray body;  // POST only, application/x-www-form-urlencoded
    QByteArray charset;  // the charset the values were encoded in
    bool carriesPassword = false;  // a password field with a value is among the values
};

// A meta refresh of a document: the delay and the address to load (the
// document's own address when the tag names none).
struct MetaRefresh {
    int delaySeconds = 0;
    QUrl url;
};

class HtmlDocument {
public:
    // Parses an answer. headerCharset is the charset of the HTTP Content-Type
    // header (empty when absent); it wins over a meta tag. Without both the
    // page is read as windows-1251.
    static std::unique_ptr<HtmlDocument> Parse(const QByteArray &bytes, const QUrl &url,
                                               const QByteArray &headerCharset = {});
    ~HtmlDocument();
    HtmlDocument(const HtmlDocument &) = delete;
    HtmlDocument &operator=(const HtmlDocument &) = delete;

    QUrl Url() const { return url_; }
    // The address relative links resolve against (<base href> or Url()).
    QUrl BaseUrl() const { return baseUrl_; }
    // The charset the bytes were decoded with (lower case).
    QByteArray Charset() const { return charset_; }

    // The body element serialised: "<body ...>" ... "</body>", every block
    // element on a line of its own, "<body></body>" for an empty body or a
    // document without one (a frameset).
    QString BodyOuterHtml() const;

    // The first element, in document order, whose id or name is `name`
    // (exact match first, then ignoring letter case); null when none.
    HtmlElement ElementByName(const QString &name) const;

    // Form fields: input, select, textarea.
    QString FieldValue(const HtmlElement &field) const;
    // Sets a field's value: an input's value, a textarea's text, the option
    // of a select whose value (or text) matches. false when the element is
    // not a field or no option matches.
    bool SetFieldValue(const HtmlElement &field, const QString &value);
    // The form a field belongs to: its form="id" attribute, the enclosing
    // form, or the form the parser closed just before it; null when none.
    HtmlElement FormOf(const HtmlElement &field) const;
    // The request a form sends by the HTML form rules; the submitter (a
    // submit button or image) is included only when given.
    FormRequest BuildSubmission(const HtmlElement &form, const HtmlElement &submitter = {}) const;
    // Builds the request and hands it to the browser that loaded the document.
    // false when the document has no browser or the form has no usable action.
    bool Submit(const HtmlElement &form, const HtmlElement &submitter = {});

    // The text of the first <title>, blanks collapsed; empty without one.
    QString Title() const;
    // Addresses of the frames and iframes of this document, resolved.
    QList<QUrl> FrameUrls() const;
    std::optional<MetaRefresh> Refresh() const;

    // Set by the browser: how Submit navigates.
    using Navigator = std::function<void(const FormRequest &)>;
    void SetNavigator(Navigator navigator) { navigator_ = std::move(navigator); }

private:
    HtmlDocument() = default;
    _xmlNode *Body() const;

    _xmlDoc *doc_ = nullptr;
    QUrl url_;
    QUrl baseUrl_;
    QByteArray charset_;
    Navigator navigator_;
};

// Serialises one element and its subtree by the rules of BodyOuterHtml.
QString SerializeHtmlElement(_xmlNode *element);
// Charset named in a Content-Type value ("text/html; charset=utf-8"), lower case.
QByteArray CharsetFromContentType(const QByteArray &contentType);
// application/x-www-form-urlencoded encoding of one name or value.
QByteArray FormUrlEncode(const QString &text, const QByteArray &charset);
