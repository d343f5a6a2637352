#include "EmulatorFixture.h"

#include "EventLoopWait.h"
#include "HistoryDb.h"

#include <QSqlQuery>

void EngineTest::SetUp()
{
    CreateHistoryDatabase();
    ASSERT_TRUE(CheckHistoryAvailable());
    store = std::make_unique<TmdbStore>();
    engine = std::make_unique<TfrmWB>(state);
    engine->SetStore(store.get());
    engine->SetPauseMs(0);
    engine->SetSubmitDelayMs(0);
    engine->SetTimeOutMs(5000);
}

EmulatorPhone EngineTest::phone(const QString &number, const QString &behaviour, double balance)
{
    EmulatorPhone p;
    p.number = number;
    p.password = "7" + number.right(4);
    p.licSchet = "41" + number.right(8);
    p.userName = "Абонент " + number.right(2);
    p.balance = balance;
    p.average = 1.5;
    p.recomend = 15;
    p.usdRate = 28.5;
    p.turnOff = 8;
    p.sms = 25;
    p.minutes = 80;
    p.jeansExpired = 10;
    p.behaviour = behaviour;
    return p;
}

namespace {
void SetLine(TProgramState &state, int slot, const EmulatorPhone &p, bool monitored)
{
    TSetupPhoneLine line;
    line.Monitor = monitored;
    line.Number = p.number;
    line.Password = p.password;
    line.Alias = QStringLiteral("Телефон %1").arg(slot);
    line.Region = kRegion;
    state.Setup.SetLine(slot, line);
}
}  // namespace

void PutEmulatorPhones(const EmulatorProcess &emu, const QList<EmulatorPhone> &phones, TProgramState &state,
                       const QString &url)
{
    // Written as a user would by hand, so that a form address stays as it is.
    state.ServersIni.WriteString(QStringLiteral("Эмулятор"), QStringLiteral("ShortName"), kRegion);
    state.ServersIni.WriteString(QStringLiteral("Эмулятор"), QStringLiteral("LoginURL"),
                                 url.isEmpty() ? emu.loginUrl() : url);
    for (int slot = 1; slot <= phones.size(); ++slot)
        SetLine(state, slot, phones[slot - 1], true);
}

void EngineTest::startWith(const QList<EmulatorPhone> &phones, bool formLogin, const QString &cert, const QString &key)
{
    ASSERT_TRUE(emu.start(phones, cert, key)) << emu.errorString().toStdString();
    PutEmulatorPhones(emu, phones, state, formLogin ? emu.formUrl() : emu.loginUrl());
}

void EngineTest::setPhone(int slot, const EmulatorPhone &p, bool monitored)
{
    SetLine(state, slot, p, monitored);
}

int EngineTest::historyRows(const QString &number)
{
    HistoryConnection connection(HistoryDbFileName());
    QSqlQuery q(connection.db());
    q.prepare(QStringLiteral("select count(*) from Phones where PhoneNumber = ?"));
    q.addBindValue(number);
    return q.exec() && q.next() ? q.value(0).toInt() : -1;
}

void EngineTest::run(int mode, int slot, bool retryAuthErrors)
{
    bool finished = false;
    const QMetaObject::Connection c = QObject::connect(engine.get(), &TfrmWB::runFinished, [&] { finished = true; });
    ASSERT_TRUE(engine->RequestInformation(mode, slot, retryAuthErrors));
    const bool ended = WaitUntil([&] { return finished; }, 60000);
    QObject::disconnect(c);
    ASSERT_TRUE(ended) << "the run did not end";
    EXPECT_FALSE(engine->IsRunning());
}
