// The document side of the browser: the body serialised, charsets, element
// look-up, form fields and submissions, frames and meta refresh.

#include "HtmlDocument.h"
#include "DataCases.h"
#include "TestServer.h"

#include <QRegularExpression>
#include <QStringEncoder>

using namespace Qt::StringLiterals;

namespace {

const QUrl kPage("http://127.0.0.1/issa/page.html?x=1");

std::unique_ptr<HtmlDocument> Doc(const QByteArray &html, const QByteArray &charset = "utf-8")
{
    return HtmlDocument::Parse(html, kPage, charset);
}

}  // namespace

TEST(HtmlDocument, SourceFormattingDoesNotChangeTheLines)
{
    // One page on one line, and laid out with lines, comments and indents between tags.
    const QByteArray oneLine
        = "<html><head><title>Счёт</title></head><body><div class=main><h1>Информация</h1><table border=0>"
          "<tr><td><img src=/img/account.gif></td><td>1234567890</td></tr><tr><td>пользователь:</td>"
          "<td>Петров Пётр</td></tr><tr><td>Актуальный баланс:</td><td>12,34 у.е.</td></tr></table>"
          "<p>Сумма составляет <b>15.00</b> у.е.</p><ul><li>Остаток смс 25 шт.</li><li>один</li></ul></div></body>";
    const QByteArray perCell = QString::fromUtf8(oneLine)
                                   .replace(QRegularExpression("><(?!img|/td)"), ">\n <!-- user -->\n\t<")
                                   .replace("Петров Пётр", "\n    Петров Пётр\n   ")
                                   .toUtf8();
    const auto lines = [](const QByteArray &html) {
        QStringList out = Doc(html)->BodyOuterHtml().split(QRegularExpression("\r\n|\r|\n"));
        for (QString &line : out)
            line = line.trimmed().remove("<!-- user -->");
        return out;
    };
    const QStringList a = lines(oneLine);
    ASSERT_EQ(a, lines(perCell));
    // Label and value stand on consecutive lines, each cell on its own;
    // inline elements stay within their sentence.
    const auto next = [&](const QString &line) { return a.value(a.indexOf(line) + 1); };
    EXPECT_EQ(next("<td>Актуальный баланс:</td>"), "<td>12,34 у.е.</td></tr></table>");
    EXPECT_EQ(next("<td><img src=\"/img/account.gif\"></td>"), "<td>1234567890</td></tr>");
    EXPECT_EQ(next("<td>пользователь:</td>"), "<td>Петров Пётр</td></tr>");
    EXPECT_TRUE(a.contains("<p>Сумма составляет <b>15.00</b> у.е.</p>"));
    EXPECT_TRUE(a.contains("<li>Остаток смс 25 шт.</li>"));
    EXPECT_TRUE(a.first().startsWith("<body") && a.last().endsWith("</body>"));
}

// The cases of tests/data/retrieval/documents.jsonl (the body serialised, the
// charset, form submissions and meta refresh), and frames.
TEST(HtmlDocument, BodyCharsetSubmissionsAndRefreshAsTheTableSays)
{
    for (const QStringList &c : DataCases(u"retrieval/documents.jsonl"_s)) {
        SCOPED_TRACE(c.join(u'|').toStdString());
        QStringEncoder encoder(c[2].toLatin1().constData());
        const auto doc = HtmlDocument::Parse(encoder.encode(c[3]), kPage, CharsetFromContentType(c[1].toLatin1()));
        const QStringList want = c.mid(4);
        if (c[0] == "body"_L1) {
            EXPECT_EQ(doc->BodyOuterHtml(), want.join("\r\n"_L1));
        } else if (c[0] == "charset"_L1) {
            EXPECT_EQ(doc->Charset(), want[0].toLatin1());
            EXPECT_TRUE(Has(doc->BodyOuterHtml(), u"Актуальный баланс"_s));
        } else if (c[0] == "submit"_L1) {
            const FormRequest r = doc->BuildSubmission(doc->ElementByName(u"f"_s), doc->ElementByName(want[0]));
            EXPECT_EQ((r.post ? "POST " : "GET ") + r.url.toEncoded() + " " + r.body, want[1].toUtf8());
        } else if (c[0] == "refresh"_L1) {
            const auto refresh = doc->Refresh();
            ASSERT_EQ(refresh.has_value(), !want.isEmpty());
            EXPECT_TRUE(!refresh || (refresh->delaySeconds == want[0].toInt() && refresh->url.toEncoded() == want[1]));
        } else {
            ADD_FAILURE() << "no such case";
        }
    }
    EXPECT_EQ(CharsetFromContentType("text/html"), QByteArray());
    EXPECT_EQ(Doc("<html><frameset rows='1,*'><frame src='top.html'><frame src='/abs/main.html?a=1'>"
                  "<frame src='javascript:void(0)'><frame src=''></frameset></html>")
                  ->FrameUrls(),
              (QList<QUrl>{QUrl("http://127.0.0.1/issa/top.html"), QUrl("http://127.0.0.1/abs/main.html?a=1")}));
    EXPECT_EQ(Doc("<body><p>x</p><iframe src='http://127.0.0.1:9/f'></iframe></body>")->FrameUrls(),
              QList<QUrl>{QUrl("http://127.0.0.1:9/f")});
}

TEST(HtmlDocument, LookUpAndFieldValues)
{
    auto doc = Doc("<body><div id=top>x</div><form name=login action=/go method=post><input name=mobnum>"
                   "<input type=password id=Passw name=pw value=old><select name=lang><option value=1>ru</option>"
                   "<option value=2 selected>en</option><option>uk</option></select>"
                   "<textarea name=note>line</textarea></form><input name=outside></body>");
    const auto at = [&](const char *name) { return doc->ElementByName(name); };
    // By id or name, the name in any case.
    EXPECT_TRUE(at("top").TagName() == "div" && at("pw").Attribute("id") == "Passw" && at("nothing").IsNull()
                && at("Passw").Attribute("name") == "pw" && at("MOBNUM").Attribute("name") == "mobnum");
    // Each field: its value, a value set, and a value that cannot be set.
    for (const auto &[name, before, set, refused] : {std::tuple{"pw", "old", "s3cr&t", ""},
                                                     {"lang", "2", "uk", "de"},
                                                     {"note", "line", "a <b>", ""},
                                                     {"top", "", "", "v"}}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(doc->FieldValue(at(name)), before);
        EXPECT_TRUE(!*set || doc->SetFieldValue(at(name), set));
        EXPECT_FALSE(*refused && doc->SetFieldValue(at(name), refused));
        EXPECT_EQ(doc->FieldValue(at(name)), set);
    }
    EXPECT_EQ(doc->FormOf(at("pw")).Attribute("name"), "login");
    EXPECT_TRUE(doc->FormOf(at("outside")).IsNull());

    // A form opened inside a table is closed by the parser before its fields.
    doc = Doc("<body><table><form name=login method=post action=/in><tr><td><input name=mobnum value=1></td>"
              "<td><input type=password name=pw value=2></td></tr></form></table>"
              "<form name=search action=/s><input name=q value=3></form></body>");
    EXPECT_EQ(doc->FormOf(at("pw")).Attribute("name"), "login");
    EXPECT_EQ(doc->BuildSubmission(doc->FormOf(at("pw"))).body, "mobnum=1&pw=2");
    EXPECT_EQ(doc->FormOf(at("q")).Attribute("name"), "search");
    // A script action never yields a request.
    doc = Doc("<body><form id=f action='javascript:go()'><input name=a></form></body>");
    EXPECT_FALSE(doc->Submit(at("f")));
}
