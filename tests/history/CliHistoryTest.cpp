#include "Common.h"
#include "EmulatorProcess.h"
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

TEST(HistoryCli, QueryFailsWhenAResultCannotBeStored)
{
    TestHome home;
    QList<EmulatorPhone> phones;
    for (int i = 1; i <= 2; ++i) {
        EmulatorPhone p;
        p.number = QStringLiteral("916000000%1").arg(i);
        p.password = QStringLiteral("100%1").arg(i);
        p.balance = 12.5 * i;
        phones << p;
    }
    EmulatorProcess emu;
    ASSERT_TRUE(emu.start(phones)) << emu.errorString().toStdString();
    ASSERT_EQ(cli({QStringLiteral("history"), QStringLiteral("init")}).status, 0);
    ASSERT_EQ(cli({QStringLiteral("regions"), QStringLiteral("add"), QStringLiteral("Эмулятор"), QStringLiteral("ЭМУ"), emu.loginUrl()}).status, 0);
    for (int i = 1; i <= 2; ++i)
        ASSERT_EQ(cli({QStringLiteral("phones"), QStringLiteral("set"), QString::number(i), QStringLiteral("--number"),
                       phones[i - 1].number, QStringLiteral("--password"), phones[i - 1].password, QStringLiteral("--region"),
                       QStringLiteral("ЭМУ"), QStringLiteral("--monitor"), QStringLiteral("yes")})
                      .status,
                  0);
    const QStringList query{QStringLiteral("query"), QStringLiteral("--pause-ms"), QStringLiteral("0"),
                            QStringLiteral("--timeout-s"), QStringLiteral("20")};
    CliRun run = cli(query);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(CountRows(HistoryDbFileName()), 2);

    // The history is damaged: the figures read are printed all the same, each
    // row says it was not stored, the reason is told once and the run fails.
    const QByteArray junk = QByteArray("not a history at all ").repeated(300);
    WriteFileBytes(HistoryDbFileName(), junk);
    run = cli(query);
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.lines.size(), 3) << run.lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(run.lines[1].contains(QStringLiteral("12.50")) && run.lines[1].contains(QStringLiteral("не сохранено")))
        << run.lines[1].toStdString();
    EXPECT_TRUE(run.lines[2].contains(QStringLiteral("25.00")) && run.lines[2].contains(QStringLiteral("не сохранено")))
        << run.lines[2].toStdString();
    EXPECT_EQ(run.err.count(QStringLiteral("не сохранён в истории")), 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("file is not a database"))) << run.err.toStdString();
    EXPECT_EQ(ReadFileBytes(HistoryDbFileName()), junk);
}
