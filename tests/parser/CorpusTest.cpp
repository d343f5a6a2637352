// Saved pages and the page corpus: the encoding and body of a saved page;
// every corpus page, in both encodings and in the viewer's and the debug
// switch's saved forms, reads as its manifest says; saldomat-cli parse prints
// the manifests.

#include "CliRun.h"
#include "Encoding.h"
#include "HtmlDocument.h"
#include "ParserTestUtil.h"

#include <QStringEncoder>
#include <QUrl>

namespace {
QString crlf(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}

QByteArray encode(const char *encoding, const QString &text)
{
    QStringEncoder encoder(encoding);
    return encoder.encode(text);
}
}  // namespace

// The byte order mark, then the meta charset (near the start only), then
// valid UTF-8, else windows-1251.
TEST(DecodePageBytes, MarkThenMetaThenUtf8ElseWindows1251)
{
    const QString text = QStringLiteral("Актуальный баланс: ёЁ");
    const QString koi8 = QStringLiteral("<META http-equiv=Content-Type content=\"text/html; charset=KOI8-R\">") + text;
    const QString cp1251 = QStringLiteral("<meta charset='windows-1251'>") + text;
    const QString unknown = QStringLiteral("<meta charset=x-no-such-code>") + text;
    const QString late = QString(9000, u' ') + QStringLiteral("<meta charset=koi8-r>") + text;
    const struct {
        QByteArray bytes;
        QString text;
        QByteArray encoding;
    } cases[] = {
        {"\xEF\xBB\xBF" + cp1251.toUtf8(), cp1251, "UTF-8"},  // a mark wins over the meta tag
        {"\xFF\xFE" + encode("UTF-16LE", text), text, "UTF-16LE"},
        {"\xFE\xFF" + encode("UTF-16BE", text), text, "UTF-16BE"},
        {encode("KOI8-R", koi8), koi8, "koi8-r"},
        {ToCp1251(cp1251), cp1251, "windows-1251"},
        {"<meta charset=windows-1251>\xD0\xB0", QStringLiteral("<meta charset=windows-1251>Р°"), "windows-1251"},
        {text.toUtf8(), text, "UTF-8"},
        {ToCp1251(text), text, "windows-1251"},
        {ToCp1251(unknown), unknown, "windows-1251"},
        {late.toUtf8(), late, "UTF-8"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.left(60).toStdString());
        QByteArray encoding;
        EXPECT_EQ(DecodePageBytes(c.bytes, &encoding), c.text);
        EXPECT_EQ(encoding, c.encoding);
    }
}

// The viewer's address line, other comments, and the body cut out.
TEST(ReadSavedPage, AddressLineOtherCommentsAndTheBody)
{
    const SavedPage page = ReadSavedPage("<!-- https://issa/is_account?sid=1 -->\r\n\r\n<body>\n<td>x</td>\n</body>");
    EXPECT_EQ(page.url, QStringLiteral("https://issa/is_account?sid=1"));
    EXPECT_EQ(page.html, QStringLiteral("<body>\n<td>x</td>\n</body>"));
    const std::pair<const char *, const char *> bodies[]
        = {{"<!-- a comment\nacross lines -->\n<td>x</td>", "<!-- a comment\nacross lines -->\n<td>x</td>"},
           {"<html><head><title>А</title></head>\n<BODY bgColor=#fff>\n<td>x</td>\n</BODY>\n</html>\n",
            "<BODY bgColor=#fff>\n<td>x</td>\n</BODY>"},
           {"<head></head><body>\n<td>x</td>\n", "<body>\n<td>x</td>\n"},
           {"<bodyguard>\n<td>x</td>", "<bodyguard>\n<td>x</td>"}};
    for (const auto &[bytes, html] : bodies) {
        const SavedPage p = ReadSavedPage(bytes);
        EXPECT_TRUE(p.url.isEmpty()) << bytes;
        EXPECT_EQ(p.html, QString::fromUtf8(html)) << bytes;
    }
}

TEST(Corpus, EveryPageReadsAsItsManifestInEveryEncodingAndSavedForm)
{
    ASSERT_GE(CorpusNames().size(), 21);
    for (const QString &name : CorpusNames()) {
        SCOPED_TRACE(name.toStdString());
        const QStringList expected = CorpusExpected(name);
        const SavedPage utf8 = ReadSavedPage(CorpusBytes(name));
        const SavedPage cp1251 = ReadSavedPage(CorpusBytes(name, "cp1251"));
        EXPECT_EQ(ReadLines(utf8.html), expected);
        EXPECT_EQ(ReadLines(cp1251.html), expected);
        EXPECT_EQ(cp1251.html, crlf(utf8.html));  // the same page
        EXPECT_EQ(cp1251.url, utf8.url);
        // The loaded-pages viewer: address line, empty line, the body.
        const QString entry = QStringLiteral("<!-- https://issa.example.ru/issa/is_account -->\r\n\r\n") + utf8.html;
        const SavedPage viewer = ReadSavedPage(entry.toUtf8());
        EXPECT_EQ(viewer.url, QStringLiteral("https://issa.example.ru/issa/is_account"));
        EXPECT_EQ(ReadLines(viewer.html), expected);
        // The debug switch: every line ended by CR LF, in windows-1251.
        EXPECT_EQ(ReadLines(ReadSavedPage(ToCp1251(crlf(entry) + QStringLiteral("\r\n"))).html), expected);
    }
}

// A whole page is read as the request engine reads it: through the browser's
// parser and serialisation first, so the error names the engine's line.
TEST(ParseCommand, PrintsOneBlockPerFileAndFailsOnAFailedPageAsTheEngineDoes)
{
    TestHome home;
    const QString good = TestDataPath(QStringLiteral("pages/account-labels.cp1251.html"));
    const QString failing = TestDataPath(QStringLiteral("pages/user-label-at-end.utf8.html"));
    const CliRun run = RunCli({QStringLiteral("parse"), good, failing});
    EXPECT_EQ(run.status, 1);
    const QStringList engine = ReadLines(
        HtmlDocument::Parse(CorpusBytes(QStringLiteral("user-label-at-end")), QUrl::fromLocalFile(failing), "utf-8")
            ->BodyOuterHtml());
    ASSERT_TRUE(engine.last().startsWith(QStringLiteral("Error: ")));
    EXPECT_NE(engine.last(), CorpusExpected(QStringLiteral("user-label-at-end")).last())
        << "the raw page and the engine's serialisation fail on different lines";
    EXPECT_EQ(run.out.split(u'\n'),
              QStringList() << QStringLiteral("==> %1 <==").arg(good)
                            << CorpusExpected(QStringLiteral("account-labels")) << QString()
                            << QStringLiteral("==> %1 <==").arg(failing) << engine << QString());
    EXPECT_TRUE(run.err.contains(engine.last().mid(7)));

    const CliRun viewer
        = RunCli({QStringLiteral("parse"), TestDataPath(QStringLiteral("pages/viewer-saved.cp1251.html"))});
    EXPECT_EQ(viewer.status, 0);
    EXPECT_EQ(viewer.out.split(u'\n').mid(1, 12), CorpusExpected(QStringLiteral("viewer-saved")));
    const CliRun missing = RunCli({QStringLiteral("parse"), QStringLiteral("/nonexistent/page.html")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.out.contains(QStringLiteral("Error: cannot read the file")));
    EXPECT_EQ(RunCli({QStringLiteral("parse")}).status, 2);
}
