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

// The byte order mark, then the meta charset (near the start only), then
// valid UTF-8, else windows-1251.
TEST(SavedPage, DecodeMarkThenMetaThenUtf8ElseWindows1251AndCutTheBody)
{
    const auto encode = [](const char *encoding, const QString &text) {
        QStringEncoder encoder(encoding);
        return QByteArray(encoder.encode(text));
    };
    const QString text = u"Актуальный баланс: ёЁ"_s;
    const QString koi8 = u"<META http-equiv=Content-Type content=\"text/html; charset=KOI8-R\">"_s + text;
    const QString cp1251 = u"<meta charset='windows-1251'>"_s + text;
    const QString unknown = u"<meta charset=x-no-such-code>"_s + text;
    const QString late = QString(9000, u' ') + u"<meta charset=koi8-r>"_s + text;
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
        {"<meta charset=windows-1251>\xD0\xB0", u"<meta charset=windows-1251>Р°"_s, "windows-1251"},
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
    // The viewer's address line, other comments, and the body cut out.
    for (const QStringList &c : DataCases(u"parser/saved.jsonl"_s)) {
        const SavedPage page = ReadSavedPage(c[0].toUtf8());
        EXPECT_EQ(QStringList({page.url, page.html}), c.mid(1)) << c[0].toStdString();
    }
}

TEST(Corpus, EveryPageReadsAsItsManifestInEveryEncodingAndSavedForm)
{
    const auto crlf = [](QString text) { return text.replace("\r\n"_L1, "\n"_L1).replace("\n"_L1, "\r\n"_L1); };
    ASSERT_GE(CorpusNames().size(), 21);
    for (const QString &name : CorpusNames()) {
        SCOPED_TRACE(name.toStdString());
        const QStringList expected = CorpusExpected(name);
        const SavedPage utf8 = ReadSavedPage(CorpusBytes(name));
        const SavedPage cp1251 = ReadSavedPage(CorpusBytes(name, "cp1251"));
        EXPECT_EQ(ReadLines(utf8.html), expected);
        EXPECT_EQ(cp1251.html, crlf(utf8.html));  // the same page
        EXPECT_EQ(cp1251.url, utf8.url);
        // The loaded-pages viewer: address line, empty line, the body.
        const QString entry = u"<!-- https://issa.example.ru/issa/is_account -->\r\n\r\n"_s + utf8.html;
        const SavedPage viewer = ReadSavedPage(entry.toUtf8());
        EXPECT_EQ(viewer.url, u"https://issa.example.ru/issa/is_account"_s);
        EXPECT_EQ(ReadLines(viewer.html), expected);
        // The debug switch: every line ended by CR LF, in windows-1251.
        EXPECT_EQ(ReadLines(ReadSavedPage(ToCp1251(crlf(entry) + u"\r\n"_s)).html), expected);
    }
}

// A whole page is read as the request engine reads it: through the browser's
// parser and serialisation first, so the error names the engine's line.
TEST(ParseCommand, PrintsOneBlockPerFileAndFailsOnAFailedPageAsTheEngineDoes)
{
    TestHome home;
    const QString good = TestDataPath(u"pages/account-labels.cp1251.html"_s);
    const QString failing = TestDataPath(u"pages/user-label-at-end.utf8.html"_s);
    const CliRun run = RunCli({u"parse"_s, good, failing});
    EXPECT_EQ(run.status, 1);
    const QStringList engine
        = ReadLines(HtmlDocument::Parse(CorpusBytes(u"user-label-at-end"_s), QUrl::fromLocalFile(failing), "utf-8")
                        ->BodyOuterHtml());
    ASSERT_TRUE(engine.last().startsWith("Error: "_L1));
    EXPECT_NE(engine.last(), CorpusExpected(u"user-label-at-end"_s).last())
        << "the raw page and the engine's serialisation fail on different lines";
    EXPECT_EQ(run.out.split(u'\n'),
              QStringList() << u"==> %1 <=="_s.arg(good) << CorpusExpected(u"account-labels"_s) << QString()
                            << u"==> %1 <=="_s.arg(failing) << engine << QString());
    EXPECT_TRUE(run.err.contains(engine.last().mid(7)));

    const QString saved = TestDataPath(u"pages/viewer-saved.cp1251.html"_s);
    const CliRun viewer = RunCli({u"parse"_s, saved});
    EXPECT_EQ(viewer.status, 0);
    EXPECT_EQ(viewer.out.split(u'\n'),
              QStringList() << u"==> %1 <=="_s.arg(saved) << CorpusExpected(u"viewer-saved"_s) << QString());
    const CliRun missing = RunCli({u"parse"_s, u"/nonexistent/page.html"_s});
    EXPECT_TRUE(missing.status == 1 && missing.out.contains("Error: cannot read the file"_L1));
    EXPECT_EQ(RunCli({u"parse"_s}).status, 2);
}
