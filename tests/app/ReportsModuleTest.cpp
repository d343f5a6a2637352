// The history and export module as the tray program loads it: it works on the
// program's own phone table and settings, and a missing or broken module is
// said once on screen, logged at every attempt, and leaves the program running.
#include "Common.h"
#include "Encoding.h"
#include "Failure.h"
#include "HistoryDb.h"
#include "PhoneTable.h"
#include "Reports.h"
#include "Setup.h"
#include "TestHome.h"

#include <QApplication>
#include <QMessageBox>
#include <QRadioButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Runs `look` on the first modal window that comes up, then closes it.
void OnNextModal(std::function<void(QWidget *)> look)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, look] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            look(modal);
            modal->close();
        }
    });
    timer->start(20);
}

QString ThrownBy(const std::function<void()> &call)
{
    try {
        call();
    } catch (const SaldomatError &e) {
        return e.message();
    }
    return {};
}

} // namespace

TEST(ReportsModule, WorksOnTheProgramsOwnPhoneTable)
{
    TestHome home;
    CreateHistoryDatabase();
    SetupModel() = TSetupModel();
    ResetIssaArray();
    for (int slot : {2, 5}) {
        SetupModel().Line(slot).Monitor = true;
        IssaArray[slot].PhoneID = slot;
        IssaArray[slot].PhoneNumber = QStringLiteral("916111000%1").arg(slot);
    }
    IssaArray[5].Alias = QStringLiteral("Дача");
    Reports::UseModuleFile(BinaryPath(QStringLiteral("saldomat-reports.so")));

    QString title;
    QStringList rows;
    OnNextModal([&](QWidget *w) {
        title = w->windowTitle();
        for (QRadioButton *rb : w->findChildren<QRadioButton *>())
            if (rb->text().contains(QLatin1Char('(')))
                rows << rb->text();
    });
    Reports::ShowHistory(nullptr);
    EXPECT_TRUE(Reports::Loaded());
    EXPECT_EQ(title, QStringLiteral("История баланса"));
    EXPECT_EQ(rows, QStringList({QStringLiteral("(916) 111-0002"), QStringLiteral("(916) 111-0005 [Дача]")}));
}

TEST(ReportsModule, AMissingModuleIsSaidOnceAndLoggedEveryTime)
{
    TestHome home;
    Reports::UseModuleFile(home.file(QStringLiteral("saldomat-reports.so")));
    QString shown;
    OnNextModal([&](QWidget *w) { shown = static_cast<QMessageBox *>(w)->text(); });
    const QString first = ThrownBy([] { Reports::ShowHistory(nullptr); });
    EXPECT_TRUE(first.startsWith(QStringLiteral("Reports.ShowHistory -- > Окна истории и экспорт в Excel недоступны")))
        << first.toStdString();
    EXPECT_TRUE(first.contains(QStringLiteral("нет файла")));
    EXPECT_TRUE(shown.contains(QStringLiteral("saldomat-reports.so")));

    // The second attempt asks nothing (a message box would block this call).
    const QString second = ThrownBy([] { Reports::SaveInfoToExcel(nullptr, false); });
    EXPECT_TRUE(second.startsWith(QStringLiteral("Reports.SaveInfoToExcel -- > "))) << second.toStdString();
    EXPECT_FALSE(Reports::Loaded());

    // Reached from the menus, each attempt leaves its line in the error log.
    runHandler(ROUTINE("ppmHistoryClick"), [] { Reports::ShowHistory(nullptr); });
    runHandler(ROUTINE("ppmExcelClick"), [] { Reports::SaveInfoToExcel(nullptr, true); });
    const QString log = FromCp1251(ReadFileBytes(ErrorLogFileName()));
    EXPECT_EQ(log.count(QStringLiteral("модуль saldomat-reports.so не загружен")), 2) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("ReportsModuleTest.ppmHistoryClick -- > Reports.ShowHistory -- > ")));
}

TEST(ReportsModule, AFileThatIsNoModuleIsRefused)
{
    TestHome home;
    const QString fake = home.file(QStringLiteral("saldomat-reports.so"));
    WriteFileBytes(fake, "not a shared object");
    Reports::UseModuleFile(fake);
    OnNextModal([](QWidget *) {});
    const QString message = ThrownBy([] { Reports::ShowHistoryPhone(1, HistoryPeriod::All, 0, nullptr); });
    EXPECT_TRUE(message.contains(QStringLiteral("не загружен"))) << message.toStdString();
    EXPECT_FALSE(Reports::Loaded());
}

TEST(ReportsModule, LookedForBesideTheProgramThenInTheInstalledLibraryFolder)
{
    const QStringList c = Reports::ModuleCandidates(QStringLiteral("/opt/x/bin"));
    ASSERT_EQ(c.size(), 2);
    EXPECT_EQ(c[0], QStringLiteral("/opt/x/bin/saldomat-reports.so"));
    EXPECT_TRUE(c[1].startsWith(QStringLiteral("/opt/x/lib"))) << c[1].toStdString();
    EXPECT_TRUE(c[1].endsWith(QStringLiteral("/saldomat/saldomat-reports.so"))) << c[1].toStdString();
}
