// Error pages and network faults end the phone with its message; the figures of
// the last good query stay.
#include "EngineFixture.h"

#include "Common.h"
#include "Encoding.h"
#include "HistoryDb.h"
#include "IniFile.h"
#include "PhoneTable.h"

#include <QElapsedTimer>
#include <QFile>
#include <QUrl>

namespace {
void keepOldFigures(int slot)
{
    IssaArray[slot].Balance = 99.5f;
    IssaArray[slot].UserName = QStringLiteral("старые данные");
}
}  // namespace

TEST_F(EngineTest, EveryErrorPageGivesItsMessage)
{
    const QList<QPair<QString, QString>> cases = {
        {QStringLiteral("auth-error"), QStringLiteral("Ошибка аутентификации")},
        {QStringLiteral("unavailable"), QStringLiteral("ИССА временно недоступна")},
        {QStringLiteral("session-expired"), QStringLiteral("Время сеанса истекло")},
        {QStringLiteral("server-error"), QStringLiteral("Internal Server Error")},
        {QStringLiteral("unrecognised"), QStringLiteral("Неопознанная ошибка ИССА. Просмотрите загруженные страницы.")},
    };
    QList<EmulatorPhone> phones;
    for (int i = 0; i < cases.size(); ++i)
        phones << phone(QStringLiteral("916000000%1").arg(i + 1), cases[i].first);
    startWith(phones);
    for (int i = 1; i <= cases.size(); ++i)
        keepOldFigures(i);
    run();
    for (int i = 1; i <= cases.size(); ++i) {
        const TIssa &r = IssaArray[i];
        EXPECT_EQ(r.ErrorMsg, cases[i - 1].second) << cases[i - 1].first.toStdString();
        EXPECT_EQ(r.State, dsError);
        EXPECT_FALSE(r.Success);
        EXPECT_FLOAT_EQ(r.Balance, 99.5f);
        EXPECT_EQ(r.UserName, QStringLiteral("старые данные"));
        EXPECT_FALSE(r.LoadedPages.isEmpty());
        EXPECT_EQ(historyRows(phones[i - 1].number), 0);
    }
}

TEST_F(EngineTest, NetworkFaultsEndThePhoneWithAClearError)
{
    EmulatorPhone big = phone(QStringLiteral("9160000003"), QStringLiteral("oversized"));
    big.oversizeMb = 20;
    startWith({phone(QStringLiteral("9160000001"), QStringLiteral("redirect-loop")),
               phone(QStringLiteral("9160000002"), QStringLiteral("drop")), big});
    run();
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(IssaArray[i].State, dsError) << i;
        EXPECT_FALSE(IssaArray[i].ErrorMsg.isEmpty()) << i;
        EXPECT_FALSE(IssaArray[i].ErrorMsg.startsWith(QStringLiteral("TimeOut"))) << IssaArray[i].ErrorMsg.toStdString();
    }
    EXPECT_TRUE(IssaArray[1].ErrorMsg.contains(QStringLiteral("перенаправлен"), Qt::CaseInsensitive));
    EXPECT_TRUE(IssaArray[3].ErrorMsg.contains(QStringLiteral("8 МБ")));
}

TEST_F(EngineTest, AnAnswerThatNeverComesEndsByTheTimeLimit)
{
    EmulatorPhone hang = phone(QStringLiteral("9160000001"), QStringLiteral("hang"));
    hang.hangMs = 5000;
    startWith({hang, phone(QStringLiteral("9160000002"))});
    engine->SetTimeOutMs(600);
    run();
    EXPECT_EQ(IssaArray[1].State, dsError);
    EXPECT_EQ(IssaArray[1].ErrorMsg, QStringLiteral("TimeOut: Нет информации о балансе в течении 3-х минут"));
    EXPECT_TRUE(IssaArray[2].Success) << "the run goes on with the next phone";
}

TEST_F(EngineTest, AnUnreadableAccountPageFailsThePhoneAndKeepsItsFigures)
{
    // A saved test page opened straight from the disk; it ends two lines after
    // the account number's caption, so looking for the number on the third
    // line runs past its end.
    startWith({phone(QStringLiteral("9160000001"))});
    const QString page = home.file(QStringLiteral("korvet-test.html"));
    WriteFileBytes(page, ToCp1251(QStringLiteral("<html><body>Виртуальный баланс<br>Лицевой счет: <br><br></body></html>")));
    ServersIni.WriteString(QStringLiteral("Эмулятор"), QStringLiteral("LoginURL"), QUrl::fromLocalFile(page).toString());
    keepOldFigures(1);
    run();
    ASSERT_EQ(IssaArray[1].LoadedPages.size(), 1);
    EXPECT_EQ(IssaArray[1].State, dsError) << IssaArray[1].LoadedPages.last().toStdString();
    EXPECT_FALSE(IssaArray[1].Success);
    EXPECT_TRUE(IssaArray[1].ErrorMsg.contains(QStringLiteral("BalanceParser2.ParseBalans -- > ")))
        << IssaArray[1].ErrorMsg.toStdString();
    EXPECT_FLOAT_EQ(IssaArray[1].Balance, 99.5f);
    EXPECT_EQ(historyRows(QStringLiteral("9160000001")), 0);
    EXPECT_EQ(emu.stats().value(QStringLiteral("requests")), 0);
    // One failure, one line in the log.
    const QString log = FromCp1251(ReadFileBytes(ErrFileName));
    EXPECT_EQ(log.count(QStringLiteral("BalanceParser2.ParseBalans -- > ")), 1) << log.toStdString();
}

TEST_F(EngineTest, ALoginPageWithoutTheNumberFieldFailsAtOnceWithTheReason)
{
    // The region names a number field that the emulator's login form lacks.
    startWith({phone(QStringLiteral("9160000001"), QStringLiteral("form-only"))}, /*formLogin=*/true);
    ServersIni.WriteString(QStringLiteral("Эмулятор"), QStringLiteral("LoginName"), QStringLiteral("phone"));
    engine->SetTimeOutMs(20000);
    QElapsedTimer clock;
    clock.start();
    run();
    EXPECT_LT(clock.elapsed(), 8000) << "ended by the time limit instead of the page";
    EXPECT_EQ(IssaArray[1].State, dsError);
    EXPECT_FALSE(IssaArray[1].Success);
    EXPECT_TRUE(IssaArray[1].ErrorMsg.contains(QStringLiteral("На странице входа нет поля \"phone\"")))
        << IssaArray[1].ErrorMsg.toStdString();
    EXPECT_EQ(emu.stats().value(QStringLiteral("form-pages")), 1);
    EXPECT_EQ(emu.loginCount(QStringLiteral("9160000001")), 0);
}

TEST_F(EngineTest, EveryFailedPhoneLeavesALineInTheLog)
{
    startWith({phone(QStringLiteral("9160000001"), QStringLiteral("unavailable")), phone(QStringLiteral("9160000002")),
               phone(QStringLiteral("9160000003"), QStringLiteral("auth-error"))});
    run();
    const QString log = FromCp1251(ReadFileBytes(ErrFileName));
    EXPECT_TRUE(log.contains(QStringLiteral(": Телефон № 1, 9160000001 [Телефон 1]: ИССА временно недоступна\r\n"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral(": Телефон № 3, 9160000003 [Телефон 3]: Ошибка аутентификации\r\n")));
    EXPECT_FALSE(log.contains(QStringLiteral("Телефон № 2")));
}

TEST_F(EngineTest, ResultsTheHistoryCannotTakeAreMarkedAndWarnedAboutOncePerRun)
{
    startWith({phone(QStringLiteral("9160000001")), phone(QStringLiteral("9160000002"), QStringLiteral("ok"), 20.0)});
    QStringList warnings;
    store->setWarning([&](const QString &text) { warnings << text; });
    const QByteArray junk = QByteArray("not a history at all ").repeated(300);
    for (int round = 1; round <= 2; ++round) {
        WriteFileBytes(HistoryDbFileName(), junk);
        run();
        for (int slot : {1, 2}) {
            EXPECT_TRUE(IssaArray[slot].Success) << "the figures read are true";
            EXPECT_TRUE(IssaArray[slot].NotSaved) << slot;
        }
        EXPECT_FLOAT_EQ(IssaArray[2].Balance, 20.0f);
        ASSERT_EQ(warnings.size(), round) << "one warning per run";
        EXPECT_TRUE(warnings.last().contains(QStringLiteral("file is not a database"))) << warnings.last().toStdString();
    }
    EXPECT_FALSE(HistoryAvailable);
    // Repaired before the next run: checked again, stored, the marks gone.
    QFile::remove(HistoryDbFileName());
    CreateHistoryDatabase();
    run();
    EXPECT_TRUE(HistoryAvailable);
    EXPECT_FALSE(IssaArray[1].NotSaved);
    EXPECT_EQ(historyRows(QStringLiteral("9160000002")), 1);
    EXPECT_EQ(warnings.size(), 2);
}
