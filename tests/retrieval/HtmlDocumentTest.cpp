// The document side of the browser: serialisation of the body, charsets,
// element look-up, form fields and form submission, frames and meta refresh.

#include "HtmlDocument.h"
#include "Encoding.h"
#include "TestServer.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QStringList>

namespace {

const QUrl kPage(QStringLiteral("http://127.0.0.1/issa/page.html?x=1"));

std::unique_ptr<HtmlDocument> Utf8Doc(const QString &html, const QUrl &url = kPage)
{
    return HtmlDocument::Parse(html.toUtf8(), url, "utf-8");
}

QStringList TrimmedLines(const QString &text)
{
    QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    for (QString &line : lines)
        line = line.trimmed();
    return lines;
}

int LineContaining(const QStringList &lines, const QString &part)
{
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i].contains(part))
            return i;
    return -1;
}

}  // namespace

// ---------------------------------------------------------------- serialisation

TEST(HtmlSerialisation, SourceFormattingDoesNotChangeTheLines)
{
    const QString oneLine
        = QStringLiteral("<html><head><title>Счёт</title></head><body><div class=main><h1>Информация</h1>"
                         "<table border=0><tr><td><img src=/img/account.gif></td><td>1234567890</td></tr>"
                         "<tr><td>пользователь:</td><td>Петров Пётр</td></tr>"
                         "<tr><td>Актуальный баланс:</td><td>12,34 у.е.</td></tr></table>"
                         "<p>Сумма рекомендуемой предоплаты составляет <b>15.00</b> у.е.</p>"
                         "<ul><li>Остаток смс составляет 25 шт.</li><li>один</li></ul></div></body></html>");
    const QString perCell
        = QStringLiteral("<html>\n<head>\n  <title>Счёт</title>\n</head>\n<body>\n<div class=main>\n"
                         "  <h1>Информация</h1>\n  <table border=0>\n    <tr>\n"
                         "      <td><img src=/img/account.gif></td>\n      <td>1234567890</td>\n    </tr>\n"
                         "    <!-- user -->\n    <tr>\n      <td>пользователь:</td>\n"
                         "      <td>\n        Петров Пётр\n      </td>\n    </tr>\n"
                         "    <tr>\n\t<td>Актуальный баланс:</td>\n\t<td>12,34 у.е.</td>\n    </tr>\n  </table>\n"
                         "  <p>Сумма рекомендуемой предоплаты составляет <b>15.00</b> у.е.</p>\n"
                         "  <ul>\n    <li>Остаток смс составляет 25 шт.</li>\n    <li>один</li>\n  </ul>\n"
                         "</div>\n</body>\n</html>\n");
    QStringList a = TrimmedLines(Utf8Doc(oneLine)->BodyOuterHtml());
    QStringList b = TrimmedLines(Utf8Doc(perCell)->BodyOuterHtml());
    // The comment is the only difference between the two sources.
    b.replaceInStrings(QStringLiteral("<!-- user -->"), QString());
    ASSERT_EQ(a, b);

    // Label and value stand on consecutive lines, each cell on its own.
    const int label = LineContaining(a, QStringLiteral("Актуальный баланс:"));
    ASSERT_GE(label, 0);
    EXPECT_EQ(a[label], QStringLiteral("<td>Актуальный баланс:</td>"));
    EXPECT_EQ(a[label + 1], QStringLiteral("<td>12,34 у.е.</td></tr></table>"));
    const int account = LineContaining(a, QStringLiteral("account.gif"));
    ASSERT_GE(account, 0);
    EXPECT_EQ(a[account + 1], QStringLiteral("<td>1234567890</td></tr>"));
    EXPECT_EQ(a[LineContaining(a, QStringLiteral("пользователь:")) + 1], QStringLiteral("<td>Петров Пётр</td></tr>"));
    // Inline elements stay within their sentence.
    EXPECT_GE(LineContaining(a, QStringLiteral("<p>Сумма рекомендуемой предоплаты составляет <b>15.00</b> у.е.</p>")),
              0);
    EXPECT_GE(LineContaining(a, QStringLiteral("<li>Остаток смс составляет 25 шт.</li>")), 0);
    EXPECT_TRUE(a.first().startsWith(QStringLiteral("<body")));
    EXPECT_TRUE(a.last().endsWith(QStringLiteral("</body>")));
}

TEST(HtmlSerialisation, BlocksBreaksTextAndEscapes)
{
    const QString html
        = QStringLiteral("<body bgcolor=white><div>Баланс:<br>5,00&nbsp;руб. a &lt;b&gt; &amp; \"q\"</div>after"
                         "<p title='say \"hi\" &amp; <go>'>first line\nsecond line</p>"
                         "<pre>  kept   spaces\n  here</pre>"
                         "<h2>Head</h2><span>in</span> <span>line</span>"
                         "<input type=checkbox checked name=c>"
                         "<script>if (a < b && c) { document.write('<td>x</td>'); }</script></body>");
    const QString out = Utf8Doc(html)->BodyOuterHtml();
    const QStringList lines = out.split(QStringLiteral("\r\n"));
    EXPECT_EQ(lines.value(0), QStringLiteral("<body bgcolor=\"white\">"));
    EXPECT_EQ(lines.value(1), QStringLiteral("<div>Баланс:"));
    EXPECT_EQ(lines.value(2), QStringLiteral("<br>5,00&nbsp;руб. a &lt;b&gt; &amp; \"q\"</div>"));
    EXPECT_EQ(lines.value(3), QStringLiteral("after"));
    EXPECT_EQ(lines.value(4), QStringLiteral("<p title=\"say &quot;hi&quot; &amp; &lt;go&gt;\">first line"));
    EXPECT_EQ(lines.value(5), QStringLiteral("second line</p>"));
    EXPECT_EQ(lines.value(6), QStringLiteral("<pre>  kept   spaces"));
    EXPECT_EQ(lines.value(7), QStringLiteral("  here</pre>"));
    EXPECT_EQ(lines.value(8), QStringLiteral("<h2>Head</h2>"));
    EXPECT_EQ(lines.value(9),
              QStringLiteral("<span>in</span> <span>line</span><input type=\"checkbox\" checked=\"checked\" name=\"c\">"
                             "<script>if (a < b && c) { document.write('<td>x</td>'); }</script></body>"));
    EXPECT_EQ(lines.size(), 10);
    EXPECT_FALSE(out.contains(QChar(0x00A0)));
}

TEST(HtmlSerialisation, EmptyBodiesAndDocumentsWithoutBody)
{
    EXPECT_EQ(Utf8Doc(QStringLiteral("<html><body bgcolor=white onload='go()'>\n \t</body></html>"))->BodyOuterHtml(),
              QStringLiteral("<body></body>"));
    EXPECT_EQ(HtmlDocument::Parse(QByteArray(), kPage)->BodyOuterHtml(), QStringLiteral("<body></body>"));
    EXPECT_EQ(Utf8Doc(QStringLiteral("<frameset cols='50%,50%'><frame src=a.html></frameset>"))->BodyOuterHtml(),
              QStringLiteral("<body></body>"));
    EXPECT_EQ(Utf8Doc(QStringLiteral("text only"))->BodyOuterHtml(),
              QStringLiteral("<body>\r\n<p>text only</p></body>"));
}

// ---------------------------------------------------------------- charsets

TEST(HtmlCharset, HeaderMetaAndDefault)
{
    const QString text = QStringLiteral("Актуальный баланс");
    const QByteArray cp1251Page
        = "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">"
          "</head><body><p>"
        + ToCp1251(text) + "</p></body></html>";
    // Meta tag alone.
    auto byMeta = HtmlDocument::Parse(cp1251Page, kPage);
    EXPECT_EQ(byMeta->Charset(), QByteArray("windows-1251"));
    EXPECT_TRUE(byMeta->BodyOuterHtml().contains(text));

    // The header wins over a contradicting meta tag.
    const QByteArray utf8Page
        = "<html><head><meta charset=\"windows-1251\"></head><body><p>" + text.toUtf8() + "</p></body></html>";
    auto byHeader = HtmlDocument::Parse(utf8Page, kPage, CharsetFromContentType("text/html; Charset=\"UTF-8\""));
    EXPECT_EQ(byHeader->Charset(), QByteArray("utf-8"));
    EXPECT_TRUE(byHeader->BodyOuterHtml().contains(text));

    // An HTML5 meta charset; and no declaration at all reads windows-1251.
    auto html5 = HtmlDocument::Parse("<meta charset=utf-8><body><p>" + text.toUtf8() + "</p>", kPage);
    EXPECT_TRUE(html5->BodyOuterHtml().contains(text));
    auto none = HtmlDocument::Parse("<body><p>" + ToCp1251(text) + "</p></body>", kPage);
    EXPECT_EQ(none->Charset(), QByteArray("windows-1251"));
    EXPECT_TRUE(none->BodyOuterHtml().contains(text));
    // An unknown charset name falls back too.
    auto unknown = HtmlDocument::Parse("<body><p>" + ToCp1251(text) + "</p></body>", kPage, "x-no-such-charset");
    EXPECT_TRUE(unknown->BodyOuterHtml().contains(text));
    // A UTF-8 byte order mark.
    auto bom = HtmlDocument::Parse("\xEF\xBB\xBF<body><p>" + text.toUtf8() + "</p></body>", kPage);
    EXPECT_TRUE(bom->BodyOuterHtml().contains(text));
    EXPECT_EQ(CharsetFromContentType("text/html"), QByteArray());
}

// ---------------------------------------------------------------- elements and fields

TEST(HtmlForms, LookUpAndFieldValues)
{
    auto doc = Utf8Doc(QStringLiteral(
        "<body><div id=top>x</div><form name=login action=/go method=post>"
        "<input name=mobnum><input type=password id=Passw name=pw value=old>"
        "<select name=lang><option value=1>ru</option><option value=2 selected>en</option><option>uk</option></select>"
        "<textarea name=note>line</textarea></form><input name=outside></body>"));
    EXPECT_EQ(doc->ElementByName(QStringLiteral("top")).TagName(), QStringLiteral("div"));
    EXPECT_EQ(doc->ElementByName(QStringLiteral("pw")).Attribute("id"), QStringLiteral("Passw"));
    EXPECT_EQ(doc->ElementByName(QStringLiteral("Passw")).Attribute("name"), QStringLiteral("pw"));
    EXPECT_EQ(doc->ElementByName(QStringLiteral("MOBNUM")).Attribute("name"), QStringLiteral("mobnum"));
    EXPECT_TRUE(doc->ElementByName(QStringLiteral("nothing")).IsNull());

    const HtmlElement pw = doc->ElementByName(QStringLiteral("pw"));
    EXPECT_EQ(doc->FieldValue(pw), QStringLiteral("old"));
    EXPECT_TRUE(doc->SetFieldValue(pw, QStringLiteral("s3cr&t")));
    EXPECT_EQ(doc->FieldValue(pw), QStringLiteral("s3cr&t"));

    const HtmlElement lang = doc->ElementByName(QStringLiteral("lang"));
    EXPECT_EQ(doc->FieldValue(lang), QStringLiteral("2"));
    EXPECT_TRUE(doc->SetFieldValue(lang, QStringLiteral("uk")));
    EXPECT_EQ(doc->FieldValue(lang), QStringLiteral("uk"));
    EXPECT_FALSE(doc->SetFieldValue(lang, QStringLiteral("de")));
    EXPECT_EQ(doc->FieldValue(lang), QStringLiteral("uk"));

    const HtmlElement note = doc->ElementByName(QStringLiteral("note"));
    EXPECT_TRUE(doc->SetFieldValue(note, QStringLiteral("a <b>")));
    EXPECT_EQ(doc->FieldValue(note), QStringLiteral("a <b>"));
    EXPECT_FALSE(doc->SetFieldValue(doc->ElementByName(QStringLiteral("top")), QStringLiteral("v")));

    const HtmlElement form = doc->FormOf(pw);
    EXPECT_EQ(form.Attribute("name"), QStringLiteral("login"));
    EXPECT_TRUE(doc->FormOf(doc->ElementByName(QStringLiteral("outside"))).IsNull());

    // A form opened inside a table is closed by the parser before its fields.
    auto table = Utf8Doc(
        QStringLiteral("<body><table><form name=login method=post action=/in><tr><td><input name=mobnum value=1></td>"
                       "<td><input type=password name=pw value=2></td></tr></form></table>"
                       "<form name=search action=/s><input name=q value=3></form></body>"));
    const HtmlElement tableForm = table->FormOf(table->ElementByName(QStringLiteral("pw")));
    EXPECT_EQ(tableForm.Attribute("name"), QStringLiteral("login"));
    EXPECT_EQ(table->BuildSubmission(tableForm).body, QByteArray("mobnum=1&pw=2"));
    EXPECT_EQ(table->FormOf(table->ElementByName(QStringLiteral("q"))).Attribute("name"), QStringLiteral("search"));
}

TEST(HtmlForms, SubmissionFollowsTheFormRules)
{
    auto doc = Utf8Doc(QStringLiteral(
        "<html><head><base href='http://127.0.0.1:8080/issa/'></head><body>"
        "<form id=f action='login.php?old=1' method=POST>"
        "<input type=hidden name=Lang value=2>"
        "<input name=mobnum value='9001234567'>"
        "<input type=password name=Password value='p w&=+'>"
        "<input name=off value=x disabled>"
        "<fieldset disabled><input name=fs value=y></fieldset>"
        "<input type=checkbox name=remember value=yes checked><input type=checkbox name=no value=1>"
        "<input type=checkbox name=plain checked>"
        "<input type=radio name=r value=a><input type=radio name=r value=b checked>"
        "<select name=s1><option value=1>one</option><option value=2>two</option></select>"
        "<select name=s2><option value=1>one</option><option selected> two  words </option></select>"
        "<select name=s3 multiple><option selected>a</option><option>b</option><option selected>c</option></select>"
        "<textarea name=t>x\ny</textarea>"
        "<input name=empty value=''>"
        "<input value=nameless>"
        "<input type=submit name=go value=Go><button name=btn value=b>B</button>"
        "<input type=image name=img src=i.gif>"
        "<input type=reset name=rs value=r>"
        "</form><input name=other form=f value=linked><input name=free value=z></body></html>"));
    const HtmlElement form = doc->ElementByName(QStringLiteral("f"));
    FormRequest r = doc->BuildSubmission(form);
    EXPECT_TRUE(r.post);
    EXPECT_EQ(r.url, QUrl(QStringLiteral("http://127.0.0.1:8080/issa/login.php?old=1")));
    EXPECT_EQ(r.body,
              QByteArray("Lang=2&mobnum=9001234567&Password=p+w%26%3D%2B&remember=yes&plain=on&r=b"
                         "&s1=1&s2=two+words&s3=a&s3=c&t=x%0D%0Ay&empty="
                         "&other=linked"));

    // A submit button counts only when it is the submitter.
    r = doc->BuildSubmission(form, doc->ElementByName(QStringLiteral("go")));
    EXPECT_TRUE(r.body.endsWith("&go=Go&other=linked")) << r.body.constData();
    r = doc->BuildSubmission(form, doc->ElementByName(QStringLiteral("img")));
    EXPECT_TRUE(r.body.contains("&img.x=0&img.y=0&")) << r.body.constData();
}

TEST(HtmlForms, GetFormsAndCharsets)
{
    // GET puts the fields into the query of the action; no action = the page itself.
    auto doc
        = Utf8Doc(QStringLiteral("<body><form id=f><input name=q value='a b'><input name=n value=1></form></body>"));
    FormRequest r = doc->BuildSubmission(doc->ElementByName(QStringLiteral("f")));
    EXPECT_FALSE(r.post);
    EXPECT_EQ(r.url.toString(QUrl::FullyEncoded), QStringLiteral("http://127.0.0.1/issa/page.html?q=a+b&n=1"));

    // accept-charset windows-1251 encodes Cyrillic values in that code page,
    // whatever the page's own charset.
    const QString name = QStringLiteral("Иван");
    auto cyr = Utf8Doc(QStringLiteral("<body><form id=f method=post action=/x accept-charset='x-unknown windows-1251'>"
                                      "<input name=who value='%1'><input name=sym value='€ ✓'></form></body>")
                           .arg(name));
    r = cyr->BuildSubmission(cyr->ElementByName(QStringLiteral("f")));
    EXPECT_EQ(r.charset, QByteArray("windows-1251"));
    EXPECT_EQ(r.body, QByteArray("who=%C8%E2%E0%ED&sym=%88+%26%2310003%3B"));

    // Without accept-charset the page's charset is used.
    auto page1251 = HtmlDocument::Parse("<body><form id=f method=post><input name=who value='" + ToCp1251(name)
                                            + "'></form></body>",
                                        kPage, "windows-1251");
    r = page1251->BuildSubmission(page1251->ElementByName(QStringLiteral("f")));
    EXPECT_EQ(r.body, QByteArray("who=%C8%E2%E0%ED"));
    auto pageUtf8 = Utf8Doc(QStringLiteral("<body><form id=f method=post><input name=who value='%1'>"
                                           "<input type=hidden name=_charset_></form></body>")
                                .arg(name));
    r = pageUtf8->BuildSubmission(pageUtf8->ElementByName(QStringLiteral("f")));
    EXPECT_EQ(r.body, QByteArray("who=%D0%98%D0%B2%D0%B0%D0%BD&_charset_=utf-8"));

    // A script action never yields a request.
    auto script = Utf8Doc(QStringLiteral("<body><form id=f action='javascript:go()'><input name=a></form></body>"));
    EXPECT_FALSE(script->Submit(script->ElementByName(QStringLiteral("f"))));
}

// ---------------------------------------------------------------- frames and refresh

TEST(HtmlDocumentLinks, FramesAndMetaRefresh)
{
    auto frames
        = Utf8Doc(QStringLiteral("<html><frameset rows='1,*'><frame src='top.html'><frame src='/abs/main.html?a=1'>"
                                 "<frame src='javascript:void(0)'><frame src=''></frameset></html>"));
    EXPECT_EQ(frames->FrameUrls(),
              (QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1/issa/top.html")),
                           QUrl(QStringLiteral("http://127.0.0.1/abs/main.html?a=1"))}));
    auto iframes = Utf8Doc(QStringLiteral("<body><p>x</p><iframe src='http://127.0.0.1:9/f'></iframe></body>"));
    EXPECT_EQ(iframes->FrameUrls(), (QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1:9/f"))}));

    struct Case {
        const char *content;
        int delay;
        const char *url;
    };
    const Case cases[] = {
        {"0; url=next.html", 0, "http://127.0.0.1/issa/next.html"},
        {"5;URL='/a b.html'", 5, "http://127.0.0.1/a%20b.html"},
        {" 2 , url=\"http://127.0.0.1:81/z\" ", 2, "http://127.0.0.1:81/z"},
        {"3", 3, "http://127.0.0.1/issa/page.html?x=1"},
        {"1; http://127.0.0.1/other", 1, "http://127.0.0.1/other"},
    };
    for (const Case &c : cases) {
        auto doc
            = Utf8Doc(QStringLiteral("<html><head><meta http-equiv=REFRESH content=\"%1\"></head><body></body></html>")
                          .arg(QString::fromUtf8(c.content).replace(u'"', QStringLiteral("&quot;"))));
        const std::optional<MetaRefresh> refresh = doc->Refresh();
        ASSERT_TRUE(refresh.has_value()) << c.content;
        EXPECT_EQ(refresh->delaySeconds, c.delay) << c.content;
        EXPECT_EQ(refresh->url.toString(QUrl::FullyEncoded), QString::fromUtf8(c.url)) << c.content;
    }
    EXPECT_FALSE(Utf8Doc(QStringLiteral("<meta http-equiv=refresh content='x; url=a'>"))->Refresh().has_value());
    EXPECT_FALSE(
        Utf8Doc(QStringLiteral("<meta http-equiv=refresh content='0; url=javascript:x()'>"))->Refresh().has_value());
    EXPECT_FALSE(Utf8Doc(QStringLiteral("<meta name=refresh content='0; url=a'>"))->Refresh().has_value());
}
