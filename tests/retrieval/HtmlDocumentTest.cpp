// The document side of the browser: the body serialised, charsets, element
// look-up, form fields and submissions, frames and meta refresh.

#include "HtmlDocument.h"
#include "Encoding.h"
#include "TestServer.h"

#include <QRegularExpression>

namespace {

const QUrl kPage("http://127.0.0.1/issa/page.html?x=1");

std::unique_ptr<HtmlDocument> Doc(const QByteArray &html, const QByteArray &charset = "utf-8")
{
    return HtmlDocument::Parse(html, kPage, charset);
}

}  // namespace

TEST(HtmlDocument, SourceFormattingDoesNotChangeTheLines)
{
    // One page on one line, and laid out cell by cell with a comment.
    const QByteArray oneLine
        = "<html><head><title>Счёт</title></head><body><div class=main><h1>Информация</h1><table border=0>"
          "<tr><td><img src=/img/account.gif></td><td>1234567890</td></tr><tr><td>пользователь:</td>"
          "<td>Петров Пётр</td></tr><tr><td>Актуальный баланс:</td><td>12,34 у.е.</td></tr></table>"
          "<p>Сумма составляет <b>15.00</b> у.е.</p><ul><li>Остаток смс 25 шт.</li><li>один</li></ul></div></body>";
    const QByteArray perCell
        = "<html>\n<head>\n <title>Счёт</title>\n</head>\n<body>\n<div class=main>\n <h1>Информация</h1>\n"
          " <table border=0>\n  <tr>\n   <td><img src=/img/account.gif></td>\n   <td>1234567890</td>\n  </tr>\n"
          "  <!-- user -->\n  <tr>\n   <td>пользователь:</td>\n   <td>\n    Петров Пётр\n   </td>\n  </tr>\n"
          "  <tr>\n\t<td>Актуальный баланс:</td>\n\t<td>12,34 у.е.</td>\n  </tr>\n </table>\n"
          " <p>Сумма составляет <b>15.00</b> у.е.</p>\n <ul>\n  <li>Остаток смс 25 шт.</li>\n  <li>один</li>\n"
          " </ul>\n</div>\n</body>\n</html>\n";
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

TEST(HtmlDocument, BodyOuterHtml)
{
    const struct {
        const char *name;
        QByteArray html;
        QStringList lines;
    } rows[] = {
        {"blocks, breaks, text and escapes",
         "<body bgcolor=white><div>Баланс:<br>5,00&nbsp;руб. a &lt;b&gt; &amp; \"q\"</div>after"
         "<p title='say \"hi\" &amp; <go>'>first line\nsecond line</p><pre>  kept   spaces\n  here</pre>"
         "<h2>Head</h2><span>in</span> <span>line</span><input type=checkbox checked name=c>"
         "<script>if (a < b && c) { document.write('<td>x</td>'); }</script></body>",
         {"<body bgcolor=\"white\">", "<div>Баланс:", "<br>5,00&nbsp;руб. a &lt;b&gt; &amp; \"q\"</div>", "after",
          "<p title=\"say &quot;hi&quot; &amp; &lt;go&gt;\">first line", "second line</p>", "<pre>  kept   spaces",
          "  here</pre>", "<h2>Head</h2>",
          "<span>in</span> <span>line</span><input type=\"checkbox\" checked=\"checked\" name=\"c\">"
          "<script>if (a < b && c) { document.write('<td>x</td>'); }</script></body>"}},
        {"blank body", "<html><body bgcolor=white onload='go()'>\n \t</body></html>", {"<body></body>"}},
        {"nothing", "", {"<body></body>"}},
        {"frameset", "<frameset cols='50%,50%'><frame src=a.html></frameset>", {"<body></body>"}},
        {"text only", "text only", {"<body>", "<p>text only</p></body>"}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Doc(row.html)->BodyOuterHtml(), row.lines.join("\r\n"));
    }
}

TEST(HtmlDocument, CharsetFromHeaderMetaOrDefault)
{
    const QString text = "Актуальный баланс";
    const QByteArray cp1251 = "<body><p>" + ToCp1251(text) + "</p></body>";
    const QByteArray utf8 = "<body><p>" + text.toUtf8() + "</p></body>";
    const struct {
        const char *name;
        QByteArray html, header, charset;
    } rows[] = {
        {"meta",
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">" + cp1251,
         {},
         "windows-1251"},
        {"header over meta", "<meta charset=\"windows-1251\">" + utf8,
         CharsetFromContentType("text/html; Charset=\"UTF-8\""), "utf-8"},
        {"html5 meta", "<meta charset=utf-8>" + utf8, {}, "utf-8"},
        {"none", cp1251, {}, "windows-1251"},
        {"unknown", cp1251, "x-no-such-charset", "windows-1251"},
        {"byte order mark", "\xEF\xBB\xBF" + utf8, {}, "utf-8"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const auto doc = Doc(row.html, row.header);
        EXPECT_EQ(doc->Charset(), row.charset);
        EXPECT_TRUE(Has(doc->BodyOuterHtml(), text));
    }
    EXPECT_EQ(CharsetFromContentType("text/html"), QByteArray());
}

TEST(HtmlDocument, LookUpAndFieldValues)
{
    auto doc = Doc("<body><div id=top>x</div><form name=login action=/go method=post><input name=mobnum>"
                   "<input type=password id=Passw name=pw value=old><select name=lang><option value=1>ru</option>"
                   "<option value=2 selected>en</option><option>uk</option></select>"
                   "<textarea name=note>line</textarea></form><input name=outside></body>");
    const auto at = [&](const char *name) { return doc->ElementByName(name); };
    EXPECT_EQ(at("top").TagName(), "div");
    EXPECT_EQ(at("pw").Attribute("id"), "Passw");
    EXPECT_EQ(at("Passw").Attribute("name"), "pw");
    EXPECT_EQ(at("MOBNUM").Attribute("name"), "mobnum");
    EXPECT_TRUE(at("nothing").IsNull());
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

TEST(HtmlDocument, SubmissionFollowsTheFormRules)
{
    const QByteArray rules
        = "<html><head><base href='http://127.0.0.1:8080/issa/'></head><body>"
          "<form id=f action='login.php?old=1' method=POST><input type=hidden name=Lang value=2>"
          "<input name=mobnum value='9001234567'><input type=password name=Password value='p w&=+'>"
          "<input name=off value=x disabled><fieldset disabled><input name=fs value=y></fieldset>"
          "<input type=checkbox name=remember value=yes checked><input type=checkbox name=no value=1>"
          "<input type=checkbox name=plain checked><input type=radio name=r value=a>"
          "<input type=radio name=r value=b checked>"
          "<select name=s1><option value=1>one</option><option value=2>two</option></select>"
          "<select name=s2><option value=1>one</option><option selected> two  words </option></select>"
          "<select name=s3 multiple><option selected>a</option><option>b</option><option selected>c</option>"
          "</select><textarea name=t>x\ny</textarea><input name=empty value=''><input value=nameless>"
          "<input type=submit name=go value=Go><button name=btn value=b>B</button>"
          "<input type=image name=img src=i.gif><input type=reset name=rs value=r></form>"
          "<input name=other form=f value=linked><input name=free value=z></body></html>";
    const struct {
        const char *name;
        QByteArray html, charset, sent;  // sent: the method, the address and the body
    } rows[] = {
        {"rules", rules, "utf-8",
         "POST http://127.0.0.1:8080/issa/login.php?old=1 Lang=2&mobnum=9001234567&Password=p+w%26%3D%2B"
         "&remember=yes&plain=on&r=b&s1=1&s2=two+words&s3=a&s3=c&t=x%0D%0Ay&empty=&other=linked"},
        // GET puts the fields into the query of the action; no action: the page itself.
        {"get", "<form id=f><input name=q value='a b'><input name=n value=1></form>", "utf-8",
         "GET http://127.0.0.1/issa/page.html?q=a+b&n=1 "},
        // accept-charset wins over the page's charset.
        {"accept-charset",
         "<form id=f method=post action=/x accept-charset='x-unknown windows-1251'><input name=who value='Иван'>"
         "<input name=sym value='€ ✓'></form>",
         "utf-8", "POST http://127.0.0.1/x who=%C8%E2%E0%ED&sym=%88+%26%2310003%3B"},
        {"page charset", "<form id=f method=post><input name=who value='" + ToCp1251("Иван") + "'></form>",
         "windows-1251", "POST http://127.0.0.1/issa/page.html?x=1 who=%C8%E2%E0%ED"},
        {"_charset_", "<form id=f method=post><input name=who value='Иван'><input type=hidden name=_charset_></form>",
         "utf-8", "POST http://127.0.0.1/issa/page.html?x=1 who=%D0%98%D0%B2%D0%B0%D0%BD&_charset_=utf-8"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const auto doc = Doc(row.html, row.charset);
        const FormRequest r = doc->BuildSubmission(doc->ElementByName("f"));
        EXPECT_EQ((r.post ? "POST " : "GET ") + r.url.toEncoded() + " " + r.body, row.sent);
    }
    // A submit button counts only when it is the submitter.
    const auto doc = Doc(rules);
    const auto with = [&](const char *submitter) {
        return doc->BuildSubmission(doc->ElementByName("f"), doc->ElementByName(submitter)).body;
    };
    EXPECT_TRUE(with("go").endsWith("&go=Go&other=linked"));
    EXPECT_TRUE(with("img").contains("&img.x=0&img.y=0&"));
}

TEST(HtmlDocument, FramesAndMetaRefresh)
{
    EXPECT_EQ(Doc("<html><frameset rows='1,*'><frame src='top.html'><frame src='/abs/main.html?a=1'>"
                  "<frame src='javascript:void(0)'><frame src=''></frameset></html>")
                  ->FrameUrls(),
              (QList<QUrl>{QUrl("http://127.0.0.1/issa/top.html"), QUrl("http://127.0.0.1/abs/main.html?a=1")}));
    EXPECT_EQ(Doc("<body><p>x</p><iframe src='http://127.0.0.1:9/f'></iframe></body>")->FrameUrls(),
              QList<QUrl>{QUrl("http://127.0.0.1:9/f")});

    const struct {
        QByteArray content;
        int delay;  // -1: no refresh
        QByteArray url;
    } rows[] = {
        {"0; url=next.html", 0, "http://127.0.0.1/issa/next.html"},
        {"5;URL='/a b.html'", 5, "http://127.0.0.1/a%20b.html"},
        {" 2 , url=&quot;http://127.0.0.1:81/z&quot; ", 2, "http://127.0.0.1:81/z"},
        {"3", 3, "http://127.0.0.1/issa/page.html?x=1"},
        {"1; http://127.0.0.1/other", 1, "http://127.0.0.1/other"},
        {"x; url=a", -1, {}},
        {"0; url=javascript:x()", -1, {}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.content.toStdString());
        const auto refresh
            = Doc("<html><head><meta http-equiv=REFRESH content=\"" + row.content + "\"></head></html>")->Refresh();
        ASSERT_EQ(refresh.has_value(), row.delay >= 0);
        if (refresh) {
            EXPECT_EQ(refresh->delaySeconds, row.delay);
            EXPECT_EQ(refresh->url.toEncoded(), row.url);
        }
    }
    EXPECT_FALSE(Doc("<meta name=refresh content='0; url=a'>")->Refresh().has_value());
}
