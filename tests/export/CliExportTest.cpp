// saldomat-cli export writes the same workbooks as the windows, headless.
#include "Common.h"
#include "ExportTestUtil.h"
#include "HistoryDb.h"
#include "HistoryWorkbook.h"
#include "PhonesXml.h"
#include "Setup.h"
#include "TestHome.h"
#include "XlsxReadBack.h"

#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

namespace {
struct CliRun {
    int code = -1;
    QString out, err;
};

CliRun cli(const QStringList &args)
{
    QProcess p;
    p.start(BinaryPath(QStringLiteral("saldomat-cli")), args);
    CliRun r;
    if (!p.waitForFinished(60000))
        return r;
    r.code = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

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
    const CliRun run = cli({"export", "history", kPhone, viaCli, "--last", "3"});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    ASSERT_EQ(ExportHistoryWorkbook(direct, kPhone, HistoryPeriod::LastCount, 3), 3);
    ReadBackSheet a(viaCli), b(direct);
    ASSERT_TRUE(a.ok() && b.ok());
    EXPECT_EQ(a.maxRow(), 4);
    EXPECT_EQ(a.dump(), b.dump());

    EXPECT_EQ(cli({"export", "history", kPhone, viaCli, "--all"}).code, 0);
    EXPECT_EQ(ReadBackSheet(viaCli).maxRow(), 6);
    EXPECT_EQ(cli({"export", "history", kPhone, viaCli, "--days", "1"}).code, 0);
    EXPECT_EQ(ReadBackSheet(viaCli).maxRow(), 5);  // now, -0.3, -0.6, -0.9 days

    const QString none = home.file(QStringLiteral("none.xlsx"));
    const CliRun empty = cli({"export", "history", QStringLiteral("9999999999"), none});
    EXPECT_EQ(empty.code, 1);
    EXPECT_TRUE(empty.err.contains(QStringLiteral("История по выбранному телефону не найдена!")));
    EXPECT_FALSE(QFileInfo::exists(none));

    EXPECT_EQ(cli({"export", "history", kPhone}).code, 2);
    EXPECT_EQ(cli({"export", "history", kPhone, none, "--last", "x"}).code, 2);
    EXPECT_EQ(cli({"export", "history", kPhone, none, "--all", "--days", "2"}).code, 2);
    EXPECT_EQ(cli({"export", "nothing"}).code, 2);
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
    const CliRun run = cli({"export", "current", all});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
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
    ASSERT_EQ(cli({"export", "current", red, "--red"}).code, 0);
    ReadBackSheet redSheet(red);
    EXPECT_EQ(redSheet.maxRow(), 2);
    EXPECT_EQ(redSheet.cell(2, 1).value.toString(), "Офис");

    // No red phone once the threshold is lowered: the message, no file.
    StoreRow(db, RawRow{QStringLiteral("9035550006"), At(2026, 12, 3, 9, 0), 70.0});
    const QString noRed = home.file(QStringLiteral("nored.xlsx"));
    const CliRun none = cli({"export", "current", noRed, "--red"});
    EXPECT_EQ(none.code, 1);
    EXPECT_TRUE(none.err.contains(QStringLiteral("\"Красных\" телефонов нет !")));
    EXPECT_FALSE(QFileInfo::exists(noRed));
}
