// saldomat-cli export writes the same workbooks as the windows, headless.
#include "CliRun.h"
#include "Common.h"
#include "ExportTestUtil.h"
#include "HistoryDb.h"
#include "HistoryWorkbook.h"
#include "PhonesXml.h"
#include "TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {
const QString kPhone = "9035550001";

// saldomat-cli export with the words, "|" between them.
CliRun exportCli(const QString &words)
{
    return RunCli(QStringList{"export"} + words.split('|'));
}
}  // namespace

TEST(CliExport, HistoryWorkbookEqualsTheOneOfTheWindowsAndEmptyHistoryWritesNothing)
{
    TestHome home;
    const TDateTime now = NowOle();
    for (int i = 0; i < 5; ++i)
        StoreRow(HistoryDbFileName(), {kPhone, now - i * 0.3, 10.0 + i * 1.005, "L1", "User", 0, 0, 0, 0, 28.12345});
    const QString viaCli = home.file("cli.xlsx"), direct = home.file("direct.xlsx");
    const CliRun run = exportCli("history|" + kPhone + '|' + viaCli + "|--last|3");
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    ASSERT_EQ(ExportHistoryWorkbook(direct, kPhone, HistoryPeriod::LastCount, 3), 3);
    EXPECT_EQ(ReadBackSheet(viaCli).maxRow(), 4);
    EXPECT_EQ(ReadBackSheet(viaCli).dump(), ReadBackSheet(direct).dump());
    for (const auto &[period, rows] : {std::pair{"--all", 6}, {"--days|1", 5}}) {  // now, -0.3, -0.6, -0.9 days
        EXPECT_EQ(exportCli("history|" + kPhone + '|' + viaCli + '|' + period + "|--force").status, 0);
        EXPECT_EQ(ReadBackSheet(viaCli).maxRow(), rows) << period;
    }

    const QString none = home.file("none.xlsx");
    const CliRun empty = exportCli("history|9999999999|" + none);
    EXPECT_EQ(empty.status, 1);
    EXPECT_TRUE(empty.err.contains("История по выбранному телефону не найдена!")) << empty.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(none));
    for (const QString &words : {"history|" + kPhone, "history|" + kPhone + '|' + none + "|--last|x",
                                 "history|" + kPhone + '|' + none + "|--all|--days|2", QString("nothing"),
                                 "history|" + kPhone + '|' + home.file("out.txt")})
        EXPECT_EQ(exportCli(words).status, 2) << words.toStdString();

    // CSV by the extension, and on standard output for "-": the same figures.
    const QString csvFile = home.file("history.csv");
    ASSERT_EQ(exportCli("history|" + kPhone + '|' + csvFile + "|--last|3").status, 0);
    const QVector<QStringList> csv = ParseCsvWithPython(ReadFileBytes(csvFile));
    ASSERT_EQ(csv.size(), 4);
    EXPECT_EQ(csv[0], HistorySheetHeaders());
    EXPECT_EQ(csv[1][2], "10");
    EXPECT_NEAR(csv[2][2].toDouble(), 11.005, 0.0051);
    EXPECT_EQ(csv[1][9], "28.1234");
    EXPECT_EQ(exportCli("history|" + kPhone + "|-|--last|3").outBytes, ReadFileBytes(csvFile));
    EXPECT_TRUE(exportCli("history|" + kPhone + "|-|--format|xlsx").outBytes.startsWith("PK"));
}

// An existing file is replaced only with --force, and only a plain file that
// is not one of the program's own: exporting onto the history file once
// destroyed the whole history.
TEST(CliExport, ExistingFilesAreReplacedOnlyWithForceAndNeverTheProgramsOwn)
{
    TestHome home;
    const QString db = HistoryDbFileName(), book = home.file("book.xlsx"), folder = home.file("folder.csv");
    StoreRow(db, {kPhone, NowOle(), 10.0});
    const QByteArray history = ReadFileBytes(db);
    WriteFileBytes(book, "keep me");
    CliRun r = exportCli("history|" + kPhone + '|' + book);
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(r.err.contains("--force")) << r.err.toStdString();
    EXPECT_EQ(ReadFileBytes(book), QByteArray("keep me"));
    ASSERT_EQ(exportCli("history|" + kPhone + '|' + book + "|--force").status, 0);
    EXPECT_TRUE(ReadBackSheet(book).ok());

    // Not .xlsx or .csv: a usage error (2); a folder or the history under another name: refused (3).
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString dbAsCsv = home.file("Saldomat.csv");
    ASSERT_TRUE(QFile::link(db, dbAsCsv));
    for (const auto &[words, status] : {std::pair{"history|" + kPhone + '|' + db, 2},
                                        {"current|" + home.file("phones.xml"), 2},
                                        {"current|" + folder, 3},
                                        {"history|" + kPhone + '|' + dbAsCsv, 3}}) {
        r = exportCli(words + "|--force");
        EXPECT_EQ(r.status, status) << words.toStdString() << " " << r.err.toStdString();
    }
    EXPECT_TRUE(r.err.contains("файл самой программы")) << r.err.toStdString();
    EXPECT_EQ(ReadFileBytes(db), history);
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

// The phones come from phones.xml and their figures from the history; the
// sheet itself is read through CurrentWorkbookTest.
TEST(CliExport, CurrentFiguresFromTheStoredHistoryAllAndRedOnly)
{
    TestHome home;
    TSetupModel model;
    for (const auto &[slot, alias] : {std::pair{2, "Дача"}, {6, "Офис"}, {8, "Никогда"}})
        MonitorPhone(model, slot, "903555000" + QString::number(slot), alias);
    SavePhonesInfoToXml(model, home.file("phones.xml"), MaxPhones);
    const QString db = HistoryDbFileName(), all = home.file("all.xlsx"), red = home.file("red.xlsx");
    StoreRow(db, {"9035550002", At(2026, 12, 1, 10, 0), 80.0, "L1", "User", 0, 0, 0, 0, 28.5});
    StoreRow(db, {"9035550006", At(2026, 12, 2, 11, 15, 30), 1.5});  // red by its balance
    for (const auto &[words, rows] : {std::pair{"current|" + all, 3}, {"current|" + red + "|--red", 2}}) {
        const CliRun run = exportCli(words);
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        const ReadBackSheet sheet(words.section('|', 1, 1));
        EXPECT_EQ(sheet.maxRow(), rows);
        EXPECT_EQ(sheet.row(rows, 5), "'Офис|'User|'(903) 555-0006|'L1|1.5*#FF0000");
        EXPECT_EQ(sheet.cell(2, 15).value.toString(), rows == 3 ? "2026-12-01T10:00:00" : "2026-12-02T11:15:30");
    }

    // No red phone once its balance is up again: the message, no file.
    StoreRow(db, {"9035550006", At(2026, 12, 3, 9, 0), 70.0});
    const QString noRed = home.file("nored.xlsx");
    const CliRun none = exportCli("current|" + noRed + "|--red");
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(none.err.contains("\"Красных\" телефонов нет !")) << none.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(noRed));
}
