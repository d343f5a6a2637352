// saldomat-cli export writes the same workbooks as the windows, headless.
#include "Common.h"
#include "ExportTestUtil.h"
#include "HistoryDb.h"
#include "HistoryWorkbook.h"
#include "PhonesXml.h"
#include "Setup.h"
#include "TestHome.h"
#include "XlsxReadBack.h"

#include "CliRun.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {
const QString kPhone = QStringLiteral("9035550001");
}  // namespace

TEST(CliExport, HistoryWorkbookEqualsTheOneOfTheWindowsAndEmptyHistoryWritesNothing)
{
    TestHome home;
    const QString db = HistoryDbFileName();
    const TDateTime now = NowOle();
    for (int i = 0; i < 5; ++i) {
        RawRow r{kPhone, now - i * 0.3, 10.0 + i * 1.005};
        r.sms = i;
        r.usdRate = 28.12345;
        StoreRow(db, r);
    }
    const QString viaCli = home.file(QStringLiteral("cli.xlsx"));
    const QString direct = home.file(QStringLiteral("direct.xlsx"));
    const CliRun run = RunCli({"export", "history", kPhone, viaCli, "--last", "3"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    ASSERT_EQ(ExportHistoryWorkbook(direct, kPhone, HistoryPeriod::LastCount, 3), 3);
    ReadBackSheet a(viaCli), b(direct);
    ASSERT_TRUE(a.ok() && b.ok());
    EXPECT_EQ(a.maxRow(), 4);
    EXPECT_EQ(a.dump(), b.dump());

    EXPECT_EQ(RunCli({"export", "history", kPhone, viaCli, "--all", "--force"}).status, 0);
    EXPECT_EQ(ReadBackSheet(viaCli).maxRow(), 6);
    EXPECT_EQ(RunCli({"export", "history", kPhone, viaCli, "--days", "1", "--force"}).status, 0);
    EXPECT_EQ(ReadBackSheet(viaCli).maxRow(), 5);  // now, -0.3, -0.6, -0.9 days

    const QString none = home.file(QStringLiteral("none.xlsx"));
    const CliRun empty = RunCli({"export", "history", QStringLiteral("9999999999"), none});
    EXPECT_EQ(empty.status, 1);
    EXPECT_TRUE(empty.err.contains(QStringLiteral("История по выбранному телефону не найдена!")));
    EXPECT_FALSE(QFileInfo::exists(none));

    EXPECT_EQ(RunCli({"export", "history", kPhone}).status, 2);
    EXPECT_EQ(RunCli({"export", "history", kPhone, none, "--last", "x"}).status, 2);
    EXPECT_EQ(RunCli({"export", "history", kPhone, none, "--all", "--days", "2"}).status, 2);
    EXPECT_EQ(RunCli({"export", "nothing"}).status, 2);
    EXPECT_EQ(RunCli({"export", "history", kPhone, home.file(QStringLiteral("out.txt"))}).status, 2);

    // CSV by the extension, and on standard output for "-": the same figures.
    const QString csvFile = home.file(QStringLiteral("history.csv"));
    ASSERT_EQ(RunCli({"export", "history", kPhone, csvFile, "--last", "3"}).status, 0);
    const QVector<QStringList> csv = ParseCsvWithPython(ReadFileBytes(csvFile));
    ASSERT_EQ(csv.size(), 4);
    EXPECT_EQ(csv[0], HistorySheetHeaders());
    EXPECT_EQ(csv[1][2], QStringLiteral("10"));
    EXPECT_NEAR(csv[2][2].toDouble(), 11.005, 0.0051);
    EXPECT_EQ(csv[1][9], QStringLiteral("28.1234"));
    const CliRun piped = RunCli({"export", "history", kPhone, "-", "--last", "3"});
    ASSERT_EQ(piped.status, 0) << piped.err.toStdString();
    EXPECT_EQ(piped.outBytes, ReadFileBytes(csvFile));
    const CliRun book = RunCli({"export", "history", kPhone, "-", "--format", "xlsx"});
    ASSERT_EQ(book.status, 0) << book.err.toStdString();
    EXPECT_TRUE(book.outBytes.startsWith("PK"));
}

// An existing file is replaced only with --force, and only a plain file that
// is not one of the program's own: exporting onto the history file once
// destroyed the whole history.
TEST(CliExport, ExistingFilesAreReplacedOnlyWithForceAndNeverTheProgramsOwn)
{
    TestHome home;
    const QString db = HistoryDbFileName();
    StoreRow(db, RawRow{kPhone, NowOle(), 10.0});
    const QByteArray history = ReadFileBytes(db);

    const QString book = home.file(QStringLiteral("book.xlsx"));
    WriteFileBytes(book, "keep me");
    CliRun r = RunCli({"export", "history", kPhone, book});
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(r.err.contains(QStringLiteral("--force"))) << r.err.toStdString();
    EXPECT_EQ(ReadFileBytes(book), QByteArray("keep me"));
    ASSERT_EQ(RunCli({"export", "history", kPhone, book, "--force"}).status, 0);
    EXPECT_TRUE(ReadBackSheet(book).ok());

    const QString folder = home.file(QStringLiteral("folder.csv"));
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const QString &target : {db, home.file(QStringLiteral("phones.xml")), folder, QStringLiteral("/dev/null")}) {
        for (const char *sub : {"history", "current"}) {
            QStringList args{"export", sub};
            if (qstrcmp(sub, "history") == 0)
                args << kPhone;
            args << target << "--force";
            r = RunCli(args);
            EXPECT_EQ(r.status,
                      target.endsWith(QLatin1String(".db")) || target.endsWith(QLatin1String(".xml"))
                              || target == QLatin1String("/dev/null")
                          ? 2  // not .xlsx or .csv
                          : 3)
                << target.toStdString() << " " << r.err.toStdString();
        }
    }
    const QString dbAsCsv = home.file(QStringLiteral("Saldomat.csv"));
    ASSERT_TRUE(QFile::link(db, dbAsCsv));
    r = RunCli({"export", "history", kPhone, dbAsCsv, "--force"});
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(r.err.contains(QStringLiteral("файл самой программы"))) << r.err.toStdString();
    EXPECT_EQ(ReadFileBytes(db), history);
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

TEST(CliExport, CurrentFiguresFromTheStoredHistoryAllAndRedOnly)
{
    TestHome home;
    TSetupModel model;
    auto monitor = [&](int slot, const QString &number, const QString &alias) {
        TSetupPhoneLine line;
        line.Monitor = true;
        line.Number = number;
        line.Password = QStringLiteral("pw");
        line.Alias = alias;
        model.SetLine(slot, line);
    };
    monitor(2, QStringLiteral("9035550002"), QStringLiteral("Дача"));
    monitor(6, QStringLiteral("9035550006"), QStringLiteral("Офис"));
    monitor(8, QStringLiteral("9035550008"), QStringLiteral("Никогда"));
    SavePhonesInfoToXml(model, home.file(QStringLiteral("phones.xml")), MaxPhones);
    const QString db = HistoryDbFileName();
    RawRow two{QStringLiteral("9035550002"), At(2026, 12, 1, 10, 0), 80.0};
    two.usdRate = 28.5;
    RawRow six{QStringLiteral("9035550006"), At(2026, 12, 2, 11, 15, 30), 1.5};  // red by balance
    six.turnOff = 1;  // and by turn-off
    StoreRow(db, two);
    StoreRow(db, six);

    const QString all = home.file(QStringLiteral("all.xlsx"));
    const CliRun run = RunCli({"export", "current", all});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    ReadBackSheet sheet(all);
    ASSERT_TRUE(sheet.ok());
    EXPECT_EQ(sheet.maxRow(), 3);
    EXPECT_EQ(sheet.cell(2, 1).value.toString(), "Дача");
    EXPECT_EQ(sheet.cell(2, 3).value.toString(), "(903) 555-0002");
    EXPECT_EQ(sheet.cell(2, 5).value.toDouble(), 80.0);
    EXPECT_EQ(sheet.cell(2, 14).value.toDouble(), 28.5);
    EXPECT_EQ(sheet.cell(2, 15).value.toString(), "2026-12-01T10:00:00");
    EXPECT_EQ(sheet.cell(3, 1).value.toString(), "Офис");
    EXPECT_EQ(sheet.cell(3, 5).colour, "FF0000");
    EXPECT_EQ(sheet.cell(3, 9).colour, "FF0000");

    const QString red = home.file(QStringLiteral("red.xlsx"));
    ASSERT_EQ(RunCli({"export", "current", red, "--red"}).status, 0);
    ReadBackSheet redSheet(red);
    EXPECT_EQ(redSheet.maxRow(), 2);
    EXPECT_EQ(redSheet.cell(2, 1).value.toString(), "Офис");

    // No red phone once the threshold is lowered: the message, no file.
    StoreRow(db, RawRow{QStringLiteral("9035550006"), At(2026, 12, 3, 9, 0), 70.0});
    const QString noRed = home.file(QStringLiteral("nored.xlsx"));
    const CliRun none = RunCli({"export", "current", noRed, "--red"});
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(none.err.contains(QStringLiteral("\"Красных\" телефонов нет !")));
    EXPECT_FALSE(QFileInfo::exists(noRed));
}
