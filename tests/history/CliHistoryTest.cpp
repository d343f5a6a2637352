#include "Common.h"
#include "HistoryDb.h"
#include "HistoryTestUtil.h"
#include "TestHome.h"

#include "CliRun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QFile>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {
CliRun cli(const QStringList &args)
{
    return RunCli(args);
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
    ASSERT_EQ(run.lines().size(), 4);
    const QStringList header = run.lines()[0].split(QLatin1Char(' '), Qt::SkipEmptyParts);
    EXPECT_EQ(header.first(), QStringLiteral("Дата"));
    EXPECT_EQ(header.last(), QStringLiteral("USD"));
    const QStringList first = run.lines()[1].split(QLatin1Char(' '), Qt::SkipEmptyParts);
    EXPECT_EQ(first[0], FromOleDate(now - 0.1).date().toString(QStringLiteral("dd.MM.yyyy")));
    EXPECT_EQ(first[2], QStringLiteral("12.50"));
    EXPECT_EQ(first.last(), QStringLiteral("28.5000"));
    EXPECT_TRUE(run.lines()[3].contains(QStringLiteral("14.00")));

    EXPECT_EQ(cli({QStringLiteral("history"), QStringLiteral("show"), phone, QStringLiteral("--last"), QStringLiteral("1")}).lines().size(), 2);
    EXPECT_EQ(cli({QStringLiteral("history"), QStringLiteral("show"), phone, QStringLiteral("--days"), QStringLiteral("1")}).lines().size(), 3);
    EXPECT_EQ(cli({QStringLiteral("history"), QStringLiteral("show"), QStringLiteral("--all"), phone}).lines().size(), 4);

    EXPECT_EQ(cli({QStringLiteral("history"), QStringLiteral("show"), QStringLiteral("nobody")}).status, 1);
    EXPECT_EQ(cli({QStringLiteral("history"), QStringLiteral("show")}).status, 2);
    EXPECT_EQ(cli({QStringLiteral("history"), QStringLiteral("show"), phone, QStringLiteral("--last"), QStringLiteral("x")}).status, 2);
    EXPECT_EQ(cli({QStringLiteral("history"), QStringLiteral("show"), phone, QStringLiteral("--all"), QStringLiteral("--days"), QStringLiteral("2")}).status, 2);
    EXPECT_EQ(CountRows(HistoryDbFileName()), 4);
}

// The other forms read back by real readers; an old history file is brought
// up to date first, as the tray program does, instead of failing.
TEST(HistoryCli, ShowAsJsonAndCsvOnAnOldHistoryFile)
{
    TestHome home;
    // A table of an older layout, without the later columns.
    QStringList defs;
    for (const QString &entry : PhonesColumnList()) {
        const QString name = entry.section(QLatin1Char('='), 0, 0);
        if (name != QLatin1String("USDRate") && name != QLatin1String("BalDelta") && name != QLatin1String("ObPlat"))
            defs << name + QLatin1Char(' ') + SqliteColumnType(entry.section(QLatin1Char('='), 1));
    }
    ExecOn(HistoryDbFileName(), QStringLiteral("CREATE TABLE Phones (") + defs.join(QStringLiteral(", ")) + QLatin1Char(')'));
    ExecOn(HistoryDbFileName(), QStringLiteral("INSERT INTO Phones (QueryDateTime, PhoneNumber, Balance, SMS) VALUES (%1, '9161234567', 12.5, 7)")
                                    .arg(NowOle() - 0.1, 0, 'f', 6));

    const CliRun json = RunCli({"history", "show", "9161234567", "--format", "json"});
    ASSERT_EQ(json.status, 0) << json.err.toStdString();
    QJsonParseError error;
    const QJsonArray rows = QJsonDocument::fromJson(json.outBytes, &error).array();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.out.toStdString();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].toObject().value(QStringLiteral("balance")), QJsonValue(12.5));
    EXPECT_EQ(rows[0].toObject().value(QStringLiteral("sms")), QJsonValue(7));
    EXPECT_EQ(TableColumnNames(HistoryDbFileName(), QStringLiteral("Phones")).size(), 15);

    // The number as people type it finds the same rows.
    const QVector<QStringList> csv = ParseCsvWithPython(RunCli({"history", "show", "+7 916 123-45-67", "--format", "csv"}).outBytes);
    ASSERT_EQ(csv.size(), 2);
    EXPECT_EQ(csv[0].value(1), QStringLiteral("balance"));
    EXPECT_EQ(csv[1].value(1), QStringLiteral("12.5"));

    EXPECT_EQ(RunCli({"history", "show", "9161234567", "--format", "xml"}).status, 2);
    QFile::remove(HistoryDbFileName());
    EXPECT_EQ(RunCli({"history", "show", "9161234567"}).status, 3);
}
