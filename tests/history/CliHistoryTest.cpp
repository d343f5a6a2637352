#include "Common.h"
#include "HistoryDb.h"
#include "HistoryTestUtil.h"
#include "TestHome.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {
struct CliRun {
    int status = -1;
    QStringList lines;
    QString err;
};

CliRun cli(const QStringList &args)
{
    QProcess p;
    p.start(BinaryPath(QStringLiteral("saldomat-cli")), args);
    CliRun run;
    if (!p.waitForFinished(30000))
        return run;
    run.status = p.exitCode();
    run.lines = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}
}  // namespace

TEST(HistoryCli, InitCreatesTheFileOnceOnly)
{
    TestHome home;
    CliRun run = cli({QStringLiteral("history"), QStringLiteral("init")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(CheckHistoryAvailable());
    EXPECT_EQ(TableColumnNames(HistoryDbFileName(), QStringLiteral("Phones")).size(), 15);
    InsertRaw(HistoryDbFileName(), {QStringLiteral("P"), 45000.5});
    const QByteArray before = ReadFileBytes(HistoryDbFileName());
    run = cli({QStringLiteral("history"), QStringLiteral("init")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("already exists"))) << run.err.toStdString();
    EXPECT_EQ(ReadFileBytes(HistoryDbFileName()), before);
}

TEST(HistoryCli, ShowPrintsTheGridOfTheChosenPeriod)
{
    TestHome home;
    CreateHistoryDatabase();
    const QString phone = QStringLiteral("O'Brien; --");
    const double now = NowOle();
    RawRow newest{phone, now - 0.1, 12.5};
    newest.usdRate = 28.5;
    newest.sms = 7;
    InsertRaw(HistoryDbFileName(), newest);
    InsertRaw(HistoryDbFileName(), {phone, now - 0.5, 13.0});
    InsertRaw(HistoryDbFileName(), {phone, now - 2.5, 14.0});
    InsertRaw(HistoryDbFileName(), {QStringLiteral("other"), now - 0.2, 99.0});

    CliRun run = cli({QStringLiteral("history"), QStringLiteral("show"), phone});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    ASSERT_EQ(run.lines.size(), 4);
    const QStringList header = run.lines[0].split(QLatin1Char(' '), Qt::SkipEmptyParts);
    EXPECT_EQ(header.first(), QStringLiteral("Дата"));
    EXPECT_EQ(header.last(), QStringLiteral("USD"));
    const QStringList first = run.lines[1].split(QLatin1Char(' '), Qt::SkipEmptyParts);
    EXPECT_EQ(first[0], FromOleDate(now - 0.1).date().toString(QStringLiteral("dd.MM.yyyy")));
    EXPECT_EQ(first[2], QStringLiteral("12.50"));
    EXPECT_EQ(first.last(), QStringLiteral("28.5000"));
    EXPECT_TRUE(run.lines[3].contains(QStringLiteral("14.00")));

    EXPECT_EQ(cli({QStringLiteral("history"), QStringLiteral("show"), phone, QStringLiteral("--last"), QStringLiteral("1")}).lines.size(), 2);
    EXPECT_EQ(cli({QStringLiteral("history"), QStringLiteral("show"), phone, QStringLiteral("--days"), QStringLiteral("1")}).lines.size(), 3);
    EXPECT_EQ(cli({QStringLiteral("history"), QStringLiteral("show"), QStringLiteral("--all"), phone}).lines.size(), 4);

    EXPECT_EQ(cli({QStringLiteral("history"), QStringLiteral("show"), QStringLiteral("nobody")}).status, 1);
    EXPECT_EQ(cli({QStringLiteral("history"), QStringLiteral("show")}).status, 2);
    EXPECT_EQ(cli({QStringLiteral("history"), QStringLiteral("show"), phone, QStringLiteral("--last"), QStringLiteral("x")}).status, 2);
    EXPECT_EQ(cli({QStringLiteral("history"), QStringLiteral("show"), phone, QStringLiteral("--all"), QStringLiteral("--days"), QStringLiteral("2")}).status, 2);
    EXPECT_EQ(CountRows(HistoryDbFileName()), 4);
}
