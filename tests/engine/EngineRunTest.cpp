// Runs: the three modes, the phones that are skipped, stopping, and pages that
// arrive after a stop.
#include "EmulatorFixture.h"

#include "Browser.h"
#include "Common.h"
#include "EventLoopWait.h"
#include "PhoneTable.h"
#include "Setup.h"

#include <QElapsedTimer>
#include <QTimer>

// Nothing while the setup dialog is open; one slot; all; only the failed ones.
TEST_F(EngineTest, EachModeRequestsItsPhonesOnly)
{
    startWith({phone(QStringLiteral("9160000001")), phone(QStringLiteral("9160000002"))});
    engine->SetSetupDialogOpen(true);
    run();
    engine->SetSetupDialogOpen(false);
    EXPECT_EQ(emu.stats().value(QStringLiteral("requests")), 0);
    EXPECT_FALSE(state.IssaArray[1].Success);
    run(2, 2);
    EXPECT_EQ(emu.loginCount(QStringLiteral("9160000001")), 0);
    EXPECT_EQ(emu.loginCount(QStringLiteral("9160000002")), 1);
    EXPECT_TRUE(state.IssaArray[2].Success);
    run();
    ASSERT_TRUE(state.IssaArray[1].Success);
    state.IssaArray[2].Success = false;
    const QStringList pagesOfOne = state.IssaArray[1].LoadedPages;
    run(1);
    EXPECT_EQ(emu.loginCount(QStringLiteral("9160000001")), 1);
    EXPECT_EQ(emu.loginCount(QStringLiteral("9160000002")), 3);
    EXPECT_EQ(state.IssaArray[1].LoadedPages, pagesOfOne);
    EXPECT_TRUE(state.IssaArray[2].Success);
}

TEST_F(EngineTest, PhonesWithoutNumberPasswordTickOrAddressAreSkipped)
{
    EmulatorPhone a = phone(QStringLiteral("9160000001"));
    startWith({a, phone(QStringLiteral("9160000002")), phone(QStringLiteral("9160000003")),
               phone(QStringLiteral("9160000004"))});
    TSetupPhoneLine line = state.Setup.Line(2);
    line.Password.clear();
    state.Setup.SetLine(2, line);
    setPhone(3, phone(QStringLiteral("9160000003")), /*monitored=*/false);
    line = state.Setup.Line(4);
    line.Region = QStringLiteral("НЕТ");  // a region nobody has: no address
    state.Setup.SetLine(4, line);
    state.IssaArray[2].ErrorMsg = QStringLiteral("прежнее");
    run();
    EXPECT_TRUE(state.IssaArray[1].Success);
    for (int slot = 2; slot <= 4; ++slot) {
        EXPECT_EQ(emu.loginCount(QStringLiteral("916000000%1").arg(slot)), 0) << slot;
        EXPECT_EQ(state.IssaArray[slot].State, dsNone) << slot;
    }
    // A run of all phones clears the errors of the last one, also of the
    // phones it passes over.
    EXPECT_TRUE(state.IssaArray[2].ErrorMsg.isEmpty()) << state.IssaArray[2].ErrorMsg.toStdString();
}

TEST_F(EngineTest, StopDuringAPhoneEndsItAndTheRun)
{
    EmulatorPhone hang = phone(QStringLiteral("9160000001"), QStringLiteral("hang"));
    hang.hangMs = 5000;
    startWith({hang, phone(QStringLiteral("9160000002"))});
    QTimer::singleShot(300, engine.get(), [this] { engine->StopRequest(); });
    QElapsedTimer clock;
    clock.start();
    run();
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(state.IssaArray[1].State, dsError);
    EXPECT_EQ(state.IssaArray[1].ErrorMsg, QStringLiteral("Запрос остановлен пользователем"));
    EXPECT_EQ(emu.loginCount(QStringLiteral("9160000002")), 0);
    EXPECT_EQ(state.IssaArray[2].State, dsNone);
}

TEST_F(EngineTest, StopDuringThePauseRequestsNoFurtherPhone)
{
    startWith({phone(QStringLiteral("9160000001")), phone(QStringLiteral("9160000002"))});
    engine->SetPauseMs(3000);
    // Stop once the first phone is done, inside the pause before the second.
    QObject::connect(engine.get(), &TfrmWB::plainTrayIcon, engine.get(),
                     [this] { QTimer::singleShot(100, engine.get(), [this] { engine->StopRequest(); }); });
    QElapsedTimer clock;
    clock.start();
    run();
    EXPECT_LT(clock.elapsed(), 2500);
    EXPECT_TRUE(state.IssaArray[1].Success);
    EXPECT_EQ(emu.loginCount(QStringLiteral("9160000002")), 0);
    EXPECT_EQ(state.IssaArray[2].State, dsNone);
}

namespace {

// What a page could change in the phone table, slot 0 included.
std::string TableState(const TIssaArray &table)
{
    QStringList lines;
    for (int slot = 0; slot <= MaxPhones; ++slot) {
        const TIssa &issa = table[slot];
        lines << QStringLiteral("%1 %2 %3 %4 %5 %6")
                     .arg(slot)
                     .arg(int(issa.Success))
                     .arg(int(issa.State))
                     .arg(issa.ErrorMsg)
                     .arg(double(issa.Balance))
                     .arg(issa.LoadedPages.join(QStringLiteral("|")));
    }
    return lines.join(QLatin1Char('\n')).toStdString();
}

}  // namespace

TEST_F(EngineTest, APageThatArrivesAfterAStopChangesNothing)
{
    EmulatorPhone slow = phone(QStringLiteral("9160000001"), QStringLiteral("slow"));
    slow.delayMs = 800;
    startWith({slow});
    QTimer::singleShot(200, engine.get(), [this] { engine->StopRequest(); });
    run();
    const std::string before = TableState(state.IssaArray);
    // The engine's browser brings the phone's account page after all, as a
    // late answer would.
    int completed = 0;
    QObject::connect(&engine->Browser(), &WebBrowser::DocumentComplete, engine.get(), [&] { ++completed; });
    engine->Browser().NavigatePost(QUrl(emu.loginUrl()),
                                   QByteArray("Lang=2&mobnum=") + slow.number.toLatin1()
                                       + "&Password=" + slow.password.toLatin1());
    Pump(1200);
    ASSERT_TRUE(WaitUntil([&] { return completed > 0 && !engine->Browser().IsBusy(); }, 5000));
    ASSERT_NE(engine->Browser().Document(), nullptr);
    EXPECT_TRUE(engine->Browser().Document()->BodyOuterHtml().contains(QStringLiteral("туальный баланс")));
    EXPECT_EQ(TableState(state.IssaArray), before);
    EXPECT_FALSE(state.IssaArray[1].Success);
    EXPECT_EQ(state.IssaArray[1].ErrorMsg, QStringLiteral("Запрос остановлен пользователем"));
    EXPECT_TRUE(state.IssaArray[1].LoadedPages.isEmpty());
    EXPECT_EQ(historyRows(QStringLiteral("9160000001")), 0);
}
