// The page corpus: every page, in both encodings, reads as its manifest says;
// the two encodings are the same page; the viewer's and the debug switch's saved
// forms read the same; saldomat-cli parse prints the manifests.

#include "Encoding.h"
#include "HtmlDocument.h"
#include "ParserTestUtil.h"
#include "SavedPage.h"
#include "TestHome.h"

#include <QProcess>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

// What the manifest holds: the figure lines, and "Error: ..." on a failure.
QStringList readLines(const QString &html)
{
    QString failure;
    const TIssa r = Parse(html, &failure);
    QStringList lines = FigureLines(r);
    if (!failure.isEmpty())
        lines << QStringLiteral("Error: ") + failure;
    return lines;
}

QString bodyOfCorpusPage(const QString &name)
{
    return ReadSavedPage(CorpusBytes(name, QStringLiteral("utf8"))).html;
}

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

CliRun runCli(const QStringList &args)
{
    TestHome home;
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SALDOMAT_HOME"), home.dir());
    cli.setProcessEnvironment(env);
    cli.start(BinaryPath(QStringLiteral("saldomat-cli")), QStringList{QStringLiteral("parse")} + args);
    CliRun run;
    if (!cli.waitForFinished(30000))
        return run;
    run.exitCode = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    run.out = QString::fromUtf8(cli.readAllStandardOutput());
    run.err = QString::fromUtf8(cli.readAllStandardError());
    return run;
}

} // namespace

TEST(Corpus, HasPagesOfEveryKind)
{
    const QStringList names = CorpusNames();
    EXPECT_GE(names.size(), 21);
    for (const char *name : {"account-labels", "account-sentences", "minutes-plain", "minutes-colon", "minutes-hms00",
             "minutes-hms01", "debt", "error-login-form", "error-auth", "error-unavailable", "error-session-expired",
             "error-internal", "error-unrecognised"})
        EXPECT_TRUE(names.contains(QLatin1String(name))) << name;
}

TEST(Corpus, EveryPageReadsAsItsManifestInBothEncodings)
{
    for (const QString &name : CorpusNames()) {
        const QStringList expected = CorpusExpected(name);
        for (const char *encoding : {"utf8", "cp1251"}) {
            SCOPED_TRACE((name + u'.' + QLatin1String(encoding)).toStdString());
            const QByteArray bytes = CorpusBytes(name, QLatin1String(encoding));
            ASSERT_FALSE(bytes.isEmpty());
            EXPECT_EQ(readLines(ReadSavedPage(bytes).html), expected);
        }
    }
}

TEST(Corpus, BothEncodingsHoldTheSamePage)
{
    for (const QString &name : CorpusNames()) {
        SCOPED_TRACE(name.toStdString());
        const SavedPage utf8 = ReadSavedPage(CorpusBytes(name, QStringLiteral("utf8")));
        const SavedPage cp1251 = ReadSavedPage(CorpusBytes(name, QStringLiteral("cp1251")));
        QString crlf = utf8.html;
        crlf.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
            .replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
        EXPECT_EQ(cp1251.html, crlf); // same text, CR LF line ends
        EXPECT_EQ(cp1251.url, utf8.url);
    }
}

TEST(Corpus, AccountPagesCarryTheBalanceCaptionAndErrorPagesDoNot)
{
    // The page classification tells an account page by "туальный баланс" in any case.
    for (const QString &name : CorpusNames()) {
        const bool account = !name.startsWith(QLatin1String("error-"));
        EXPECT_EQ(bodyOfCorpusPage(name).contains(QStringLiteral("туальный баланс"), Qt::CaseInsensitive), account)
            << name.toStdString();
    }
}

TEST(Corpus, SavedFormsOfAPageReadTheSame)
{
    for (const QString &name : CorpusNames()) {
        SCOPED_TRACE(name.toStdString());
        const QString html = bodyOfCorpusPage(name);
        // The loaded-pages viewer: address line, empty line, the body as the browser gave it.
        const QString entry = QStringLiteral("<!-- https://issa.example.ru/issa/is_account -->\r\n\r\n") + html;
        const SavedPage viewer = ReadSavedPage(entry.toUtf8());
        EXPECT_EQ(viewer.url, QStringLiteral("https://issa.example.ru/issa/is_account"));
        EXPECT_EQ(readLines(viewer.html), CorpusExpected(name));
        // The debug switch: the same entry with every line ended by CR LF, in windows-1251.
        QString crlf = entry;
        crlf.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
            .replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
        EXPECT_EQ(readLines(ReadSavedPage(ToCp1251(crlf + QStringLiteral("\r\n"))).html), CorpusExpected(name));
    }
}

// A whole page is read as the request engine reads it: through the browser's
// parser and serialisation first, so the error names the engine's line.
TEST(ParseCommand, PrintsOneBlockPerFileAndFailsOnAFailedPageAsTheEngineDoes)
{
    const QString good = TestDataPath(QStringLiteral("pages/account-labels.cp1251.html"));
    const QString failing = TestDataPath(QStringLiteral("pages/user-label-at-end.utf8.html"));
    const CliRun run = runCli({good, failing});
    EXPECT_EQ(run.exitCode, 1);
    const QByteArray bytes = CorpusBytes(QStringLiteral("user-label-at-end"), QStringLiteral("utf8"));
    const QStringList engine = readLines(
        HtmlDocument::Parse(bytes, QUrl::fromLocalFile(failing), "utf-8")->BodyOuterHtml());
    ASSERT_TRUE(engine.last().startsWith(QStringLiteral("Error: ")));
    EXPECT_NE(engine.last(), CorpusExpected(QStringLiteral("user-label-at-end")).last())
        << "the raw page and the engine's serialisation fail on different lines";
    QStringList expected;
    expected << QStringLiteral("==> %1 <==").arg(good) << CorpusExpected(QStringLiteral("account-labels")) << QString()
             << QStringLiteral("==> %1 <==").arg(failing) << engine << QString();
    EXPECT_EQ(run.out.split(u'\n'), expected);
    EXPECT_TRUE(run.err.contains(engine.last().mid(7)));
}

TEST(ParseCommand, ReadsAViewerSavedPage)
{
    const CliRun run = runCli({TestDataPath(QStringLiteral("pages/viewer-saved.cp1251.html"))});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.split(u'\n').mid(1, 12), CorpusExpected(QStringLiteral("viewer-saved")));
}

TEST(ParseCommand, ReportsAMissingFileAndAMissingArgument)
{
    const CliRun missing = runCli({QStringLiteral("/nonexistent/page.html")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.out.contains(QStringLiteral("Error: cannot read the file")));
    EXPECT_EQ(runCli({}).exitCode, 2);
}
