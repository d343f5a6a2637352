// The workbooks of a phone's history and of the current figures, as the
// windows and saldomat-cli export write them, read back with a real reader.
#include "CliRun.h"
#include "CsvSheet.h"
#include "ExportTarget.h"
#include "ExportTestUtil.h"
#include "Failure.h"
#include "HistoryDb.h"
#include "HistoryWorkbook.h"
#include "PhonesXml.h"
#include "ProgramState.h"
#include "SaveIssaToExcel.h"
#include "Setup.h"
#include "TestHome.h"
#include "XlsxWorkbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString kPhone = "9031234567";

QStringList folderEntries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QVector<HistoryRow> someRows(int count)
{
    QVector<HistoryRow> rows(count);
    for (int i = 0; i < count; ++i)
        rows[i] = {0, 46000.5 - i * 0.25, {}, 100.0f - i, 0, 0, 0, 0, 0, 0, 0, 0, 28.5f};
    return rows;
}

// saldomat-cli export with the words, "|" between them.
CliRun exportCli(const QString &words)
{
    return RunCli(QStringList{"export"} + words.split('|'));
}
}  // namespace

TEST(HistoryWorkbook, RowsNewestFirstWithTheBlankRulesAndRoundingOrNothingWhenThereAreNone)
{
    TestHome home;
    const QString db = HistoryDbFileName(), out = home.file("history.xlsx");
    // At midnight (still this day); zeros (a zero balance is a number, zero counts are empty); a binary half
    // (ties to even); another phone. Phone, time, balance, account, user, payment, change, average,
    // recommended, rate, turn-off, jeans, SMS, minutes.
    const RawRow rows[] = {{kPhone, At(2026, 3, 14, 0, 0, 0), 12.5, "L", "U", 0, -1.5, 3.25, 100, 28.5, 4, 0, 10, 30},
                           {kPhone, At(2026, 3, 14, 13, 30, 0), 0.0, "L", "U", 0, 0, 0, 0, 28.12345},
                           {kPhone, At(2026, 3, 14, 21, 45, 59), -7.125},
                           {"9990000000", At(2026, 3, 14, 9, 0), 55.0}};
    for (const RawRow &r : rows)
        StoreRow(db, r);
    ASSERT_EQ(ExportHistoryWorkbook(out, kPhone, HistoryPeriod::All, 0), 3);
    const ReadBackSheet sheet(out);
    EXPECT_EQ(sheet.maxRow(), 4);
    EXPECT_EQ(sheet.maxColumn(), 10);
    EXPECT_EQ(sheet.row(1, 10), "'" + HistorySheetHeaders().join("*|'") + '*');  // bold captions
    EXPECT_EQ(sheet.row(2, 10), "'14.03.2026|'21:45:59|-7.12|0|0|-|-|-|-|0");
    EXPECT_EQ(sheet.row(3, 10), "-|'13:30:00|0|0|0|-|-|-|-|28.1234");
    EXPECT_EQ(sheet.row(4, 10), "-|'00:00:00|12.5|3.25|-1.5|4|100|10|30|28.5");

    // Nothing to export: no file written, an old one kept; no history file: a failure.
    EXPECT_EQ(ExportHistoryWorkbook(home.file("none.xlsx"), "0000000000", HistoryPeriod::All, 0), 0);
    EXPECT_FALSE(QFileInfo::exists(home.file("none.xlsx")));
    WriteFileBytes(out, "old");
    EXPECT_EQ(ExportHistoryWorkbook(out, kPhone, HistoryPeriod::LastDays, 2), 0);
    EXPECT_EQ(ReadFileBytes(out), QByteArray("old"));
    EXPECT_THROW(ExportHistoryWorkbook(out, kPhone, HistoryPeriod::All, 0, home.file("nothing.db")), SaldomatError);
    EXPECT_EQ(ReadFileBytes(out), QByteArray("old"));
}

// Exact binary halves go to the even neighbour; a value stored a little below
// or above a printed half goes down or up; one that needs no rounding gives the
// nearest double to the decimal, not a neighbour of it.
TEST(HistoryWorkbook, RoundToHalvesGoToTheEvenNeighbourOnTheStoredValue)
{
    const std::tuple<float, int, double> cases[]
        = {{0.125f, 2, 0.12},      {0.375f, 2, 0.38},       {-0.125f, 2, -0.12},     {2.5f, 0, 2.0},
           {2.675f, 2, 2.67},      {12.345f, 2, 12.35},     {28.12345f, 4, 28.1234}, {99.99f, 2, 99.99},
           {28.1234f, 4, 28.1234}, {-1234.57f, 2, -1234.57}};
    for (const auto &[stored, places, expected] : cases)
        EXPECT_EQ(RoundTo(stored, places), expected) << stored << " to " << places;
}

// A failure half way keeps the old file; a complete write replaces its content
// and keeps its permissions, and a new export gets the mode the umask gives;
// nothing else is left behind, and nothing that makes the file unreadable.
TEST(SafeWrite, FailureKeepsTheOldFileModesAreKeptOrFollowTheUmaskNonFiniteFiguresAreEmpty)
{
    TestHome home;
    const QString out = home.file("book.xlsx");
    WriteFileBytes(out, "old workbook");
    QFile::setPermissions(out, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
    const QFileDevice::Permissions permissions = QFileInfo(out).permissions();
    const QStringList before = folderEntries(home.dir());
    for (const QString &target : {out, home.file("fresh.xlsx")}) {
        {
            XlsxFileWriter writer(target);  // left half way, as when a write fails
            writer.write(0, 0, QString("Дата"));
            EXPECT_EQ(folderEntries(home.dir()).size(), before.size() + 1);  // the temporary file beside it
        }
        EXPECT_EQ(folderEntries(home.dir()), before) << target.toStdString();
    }
    EXPECT_EQ(ReadFileBytes(out), QByteArray("old workbook"));
    WriteHistoryWorkbook(out, someRows(3));
    EXPECT_EQ(ReadBackSheet(out).maxRow(), 4);
    EXPECT_EQ(QFileInfo(out).permissions(), permissions);
    EXPECT_EQ(folderEntries(home.dir()), before);

    // New files follow the umask (0640 as well). A figure that reads as infinity or NaN leaves its cell empty:
    // "INF" in a workbook makes the file unreadable.
    QVector<HistoryRow> rows = someRows(2);
    rows[0].Balance = std::numeric_limits<float>::infinity();
    rows[1].USDRate = std::numeric_limits<float>::quiet_NaN();
    const QString book = home.file("new.xlsx"), csv = home.file("new.csv");
    const mode_t oldMask = ::umask(027);
    WriteHistoryWorkbook(book, rows);
    WriteCsvFile(csv, HistorySheet(rows));
    ::umask(oldMask);
    for (const QString &file : {book, csv})
        EXPECT_EQ(QFileInfo(file).permissions(), permissions) << file.toStdString();
    const ReadBackSheet sheet(book);
    EXPECT_EQ(sheet.row(2, 10), "'09.12.2025|'12:00:00|-|0|0|-|-|-|-|28.5");
    EXPECT_EQ(sheet.row(3, 10), "-|'06:00:00|99|0|0|-|-|-|-|-");
    const QList<QByteArray> lines = ReadFileBytes(csv).split('\n');
    EXPECT_EQ(lines[1].split(',')[2], QByteArray());
    EXPECT_EQ(lines[2].split(',')[9], QByteArray("\r"));
}

TEST(SafeWrite, OnlyPlainFilesOutsideTheProgramFilesAreEverWritten)
{
    TestHome home;
    const QString taken = home.file("taken.xlsx"), db = HistoryDbFileName();
    ASSERT_TRUE(QDir().mkpath(taken));
    WriteFileBytes(taken + "/inside", "x");
    WriteFileBytes(db, "the whole history");
    QTemporaryDir elsewhere;
    const QString outside = elsewhere.filePath("outside.xlsx");
    WriteFileBytes(outside, "someone else's file");
    const QString linkOut = home.file("link-out.xlsx"), hardLink = home.file("history-copy.xlsx");
    ASSERT_TRUE(QFile::link(outside, linkOut));
    ASSERT_EQ(::link(QFile::encodeName(db).constData(), QFile::encodeName(hardLink).constData()), 0);
    const QString pipe = home.file("pipe.xlsx");  // a special file, not the machine's own /dev/null
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QStringList before = folderEntries(home.dir());

    for (const QString &target : {taken, home.file("missing/book.xlsx"), db,
                                  home.dir() + "./phones.xml",  // not there yet, still the program's
                                  home.file("SALDOMAT.INI"), hardLink, linkOut, pipe}) {
        SCOPED_TRACE(target.toStdString());
        EXPECT_EQ(CheckExportTarget(target).state, ExportTargetState::Refused);
        EXPECT_THROW(WriteHistoryWorkbook(target, someRows(2)), SaldomatError);
        EXPECT_THROW(WriteCsvFile(target, HistorySheet(someRows(1))), SaldomatError);
    }
    EXPECT_TRUE(QFileInfo(taken).isDir());
    EXPECT_EQ(ReadFileBytes(db), QByteArray("the whole history"));
    EXPECT_EQ(ReadFileBytes(outside), QByteArray("someone else's file"));
    EXPECT_EQ(folderEntries(home.dir()), before);

    WriteFileBytes(home.file("old.csv"), "old");  // a link within the folder is followed
    ASSERT_TRUE(QFile::link(home.file("old.csv"), home.file("link-in.csv")));
    EXPECT_EQ(CheckExportTarget(home.file("link-in.csv")).state, ExportTargetState::Existing);
}

// The monitored phones with a query on record in slot order: bold captions and
// balances, figures as numbers (zeros too), the query time as a date-time; a
// balance or turn-off at its threshold in red. Or only the red phones.
TEST(CurrentWorkbook, AllOrRedPhonesInSlotOrderWithFiguresTypesAndMarks)
{
    TestHome home;
    TProgramState state{InitPaths()};
    const QString out = home.file("current.xlsx");
    // A monitored phone, 903000000<slot>, with a query on record.
    const auto phone = [&](int slot, float balance, int turnOff) -> TIssa & {
        TIssa &p = state.IssaArray[slot];
        p.PhoneNumber = QString("903%1").arg(slot, 7, 10, QChar('0'));
        p.Alias = QString("Alias%1").arg(slot);
        MonitorPhone(state.Setup, slot, p.PhoneNumber, p.Alias);
        p.UserName = QString("Иванов %1").arg(slot);
        p.LicSchet = QString("77%1").arg(slot);
        p.Balance = balance;
        p.TurnOff = turnOff;
        p.QueryDateTime = At(2026, 12, 5, 14, 30, 15);
        return p;
    };
    TIssa &p2 = phone(2, 12.345f, 10);
    p2.Average = 3.5f;
    p2.BalDelta = -1.25f;
    p2.Recomend = 150;
    p2.Minutes = 45;
    p2.JeansExpired = 12;
    p2.USDRate = 28.5f;
    phone(5, 1.0f, 1);  // red by balance and by turn-off
    phone(9, 50.0f, 0).QueryDateTime = 0;  // never queried: not exported
    MonitorPhone(state.Setup, 11, "9030000000");
    phone(14, 40.0f, 2);  // red by turn-off only (2 <= 2)
    state.IssaArray[20].QueryDateTime = At(2026, 12, 5, 10, 0);  // not monitored

    ASSERT_EQ(WriteCurrentWorkbook(state, out, false), 3);
    const ReadBackSheet sheet(out);
    EXPECT_EQ(sheet.maxRow(), 4);
    EXPECT_EQ(sheet.maxColumn(), 15);
    EXPECT_EQ(sheet.row(1, 15), "'" + CurrentSheetHeaders().join("*|'") + '*');  // bold captions
    for (int col = 1; col <= 15; ++col)  // columns fitted to them
        EXPECT_GE(sheet.width(col), sheet.cell(1, col).value.toString().size()) << col;
    EXPECT_EQ(sheet.row(2, 15),
              "'Alias2|'Иванов 2|'(903) 000-0002|'772|12.35*|0|3.5|-1.25|10|150|0|45|12|28.5|2026-12-05T14:30:15");
    EXPECT_EQ(sheet.row(3, 9), "'Alias5|'Иванов 5|'(903) 000-0005|'775|1*#FF0000|0|0|0|1#FF0000");
    EXPECT_EQ(sheet.row(4, 9), "'Alias14|'Иванов 14|'(903) 000-0014|'7714|40*|0|0|0|2#FF0000");

    // Red only: slot 2 is at neither threshold.
    EXPECT_TRUE(HasRedPhones(state));
    ASSERT_EQ(WriteCurrentWorkbook(state, out, true), 2);
    const ReadBackSheet red(out);
    EXPECT_EQ(red.maxRow(), 3);
    EXPECT_EQ(red.row(2, 1) + red.row(3, 1), "'Alias5'Alias14");
    state.IssaArray[5].QueryDateTime = state.IssaArray[14].QueryDateTime = 0;  // the red ones never queried
    EXPECT_FALSE(HasRedPhones(state));
    EXPECT_EQ(CurrentExportSlots(state, false), QList<int>{2});
    EXPECT_EQ(DefaultCurrentExportName(QDateTime(QDate(2027, 1, 9), QTime(7, 5, 59))), "Balance 09-01-27 07-05.xlsx");
}

// The CLI's workbook is the windows' one; an existing file is replaced only
// with --force, and only a plain file that is not one of the program's own:
// exporting onto the history file once destroyed the whole history.
TEST(CliExport, HistoryAsTheWindowsWriteItNothingWhenEmptyNoFileReplacedWithoutForceOrOfTheProgram)
{
    TestHome home;
    const QString db = HistoryDbFileName(), viaCli = home.file("cli.xlsx"), direct = home.file("direct.xlsx");
    for (int i = 0; i < 5; ++i)
        StoreRow(db, {.phone = kPhone, .when = NowOle() - i * 0.3, .balance = 10.0 + i * 1.005, .usdRate = 28.12345});
    const QByteArray history = ReadFileBytes(db);
    const CliRun run = exportCli("history|" + kPhone + '|' + viaCli + "|--last|3");
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    ASSERT_EQ(ExportHistoryWorkbook(direct, kPhone, HistoryPeriod::LastCount, 3), 3);
    EXPECT_EQ(ReadBackSheet(viaCli).dump(), ReadBackSheet(direct).dump());
    const QByteArray first = ReadFileBytes(viaCli);
    CliRun r = exportCli("history|" + kPhone + '|' + viaCli + "|--all");
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(r.err.contains("--force")) << r.err.toStdString();
    EXPECT_EQ(ReadFileBytes(viaCli), first);
    for (const auto &[period, rows] : {std::pair{"--all", 6}, {"--days|1", 5}}) {  // now, -0.3, -0.6, -0.9 days
        EXPECT_EQ(exportCli("history|" + kPhone + '|' + viaCli + '|' + period + "|--force").status, 0);
        EXPECT_EQ(ReadBackSheet(viaCli).maxRow(), rows) << period;
    }

    const QString none = home.file("none.xlsx");
    r = exportCli("history|9999999999|" + none);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("История по выбранному телефону не найдена!")) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(none));
    for (const QString &words : {"history|" + kPhone, QString("nothing"), "history|" + kPhone + "|out.txt"})
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

    // Not .xlsx or .csv: a usage error (2); a folder or the history under another name: refused (3).
    const QString folder = home.file("folder.csv"), dbAsCsv = home.file("Saldomat.csv");
    ASSERT_TRUE(QDir().mkpath(folder));
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

// The phones come from phones.xml and their figures from the history.
TEST(CliExport, CurrentFiguresFromTheStoredHistoryAllAndRedOnly)
{
    TestHome home;
    TSetupModel model;
    for (const auto &[slot, alias] : {std::pair{2, "Дача"}, {6, "Офис, \"А\""}, {8, "Никогда"}})
        MonitorPhone(model, slot, "903555000" + QString::number(slot), alias);
    SavePhonesInfoToXml(model, home.file("phones.xml"), MaxPhones);
    const QString db = HistoryDbFileName(), all = home.file("all.xlsx"), red = home.file("red.xlsx");
    StoreRow(db, {.phone = "9035550002", .when = At(2026, 12, 1, 10, 0), .balance = 80.0, .usdRate = 28.5});
    StoreRow(db, {"9035550006", At(2026, 12, 2, 11, 15, 30), 1.5});  // red by its balance
    for (const auto &[words, rows] : {std::pair{"current|" + all, 3}, {"current|" + red + "|--red", 2}}) {
        const CliRun run = exportCli(words);
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        const ReadBackSheet sheet(words.section('|', 1, 1));
        EXPECT_EQ(sheet.maxRow(), rows);
        EXPECT_EQ(sheet.row(rows, 5), "'Офис, \"А\"|'User|'(903) 555-0006|'L1|1.5*#FF0000");
        EXPECT_EQ(sheet.cell(2, 15).value.toString(), rows == 3 ? "2026-12-01T10:00:00" : "2026-12-02T11:15:30");
    }

    const QString csv = home.file("red.csv");  // a comma and quotes in a field stay one field
    ASSERT_EQ(exportCli("current|" + csv + "|--red").status, 0);
    EXPECT_EQ(ParseCsvWithPython(ReadFileBytes(csv)).value(1).mid(0, 2), (QStringList{"Офис, \"А\"", "User"}));

    // No red phone once its balance is up again: the message, no file.
    StoreRow(db, {"9035550006", At(2026, 12, 3, 9, 0), 70.0});
    const QString noRed = home.file("nored.xlsx");
    const CliRun none = exportCli("current|" + noRed + "|--red");
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(none.err.contains("\"Красных\" телефонов нет !")) << none.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(noRed));
}
