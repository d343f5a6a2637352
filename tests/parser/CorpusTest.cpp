// The page corpus: every page, in both encodings and in the viewer's and the
// debug switch's saved forms, reads as its manifest says; saldomat-cli parse
// prints the manifests.

#include "CliRun.h"
#include "Encoding.h"
#include "HtmlDocument.h"
#include "ParserTestUtil.h"
#include "SavedPage.h"
#include "TestHome.h"

#include <QUrl>
#include <gtest/gtest.h>

namespace {
// What the manifest holds: the figure lines, and "Error: ..." on a failure.
QStringList readLines(const QString &html)
{
    QString failure;
    QStringList lines = FigureLines(Parse(html, &failure));
    if (!failure.isEmpty())
        lines << QStringLiteral("Error: ") + failure;
    return lines;
}

QString crlf(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}
}  // namespace

TEST(Corpus, EveryPageReadsAsItsManifestInEveryEncodingAndSavedForm)
{
    ASSERT_GE(CorpusNames().size(), 21);
    for (const QString &name : CorpusNames()) {
        SCOPED_TRACE(name.toStdString());
        const QStringList expected = CorpusExpected(name);
        const SavedPage utf8 = ReadSavedPage(CorpusBytes(name, QStringLiteral("utf8")));
        const SavedPage cp1251 = ReadSavedPage(CorpusBytes(name, QStringLiteral("cp1251")));
        EXPECT_EQ(readLines(utf8.html), expected);
        EXPECT_EQ(readLines(cp1251.html), expected);
        EXPECT_EQ(cp1251.html, crlf(utf8.html));  // the same page
        EXPECT_EQ(cp1251.url, utf8.url);
        // The loaded-pages viewer: address line, empty line, the body.
        const QString entry = QStringLiteral("<!-- https://issa.example.ru/issa/is_account -->\r\n\r\n") + utf8.html;
        const SavedPage viewer = ReadSavedPage(entry.toUtf8());
        EXPECT_EQ(viewer.url, QStringLiteral("https://issa.example.ru/issa/is_account"));
        EXPECT_EQ(readLines(viewer.html), expected);
        // The debug switch: every line ended by CR LF, in windows-1251.
        EXPECT_EQ(readLines(ReadSavedPage(ToCp1251(crlf(entry) + QStringLiteral("\r\n"))).html), expected);
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
    const QByteArray bytes = CorpusBytes(QStringLiteral("user-label-at-end"), QStringLiteral("utf8"));
    const QStringList engine
        = readLines(HtmlDocument::Parse(bytes, QUrl::fromLocalFile(failing), "utf-8")->BodyOuterHtml());
    ASSERT_TRUE(engine.last().startsWith(QStringLiteral("Error: ")));
    EXPECT_NE(engine.last(), CorpusExpected(QStringLiteral("user-label-at-end")).last())
        << "the raw page and the engine's serialisation fail on different lines";
    QStringList expected;
    expected << QStringLiteral("==> %1 <==").arg(good) << CorpusExpected(QStringLiteral("account-labels")) << QString()
             << QStringLiteral("==> %1 <==").arg(failing) << engine << QString();
    EXPECT_EQ(run.out.split(u'\n'), expected);
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
