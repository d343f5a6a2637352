// Error pages and network faults end the phone with its message; the figures of
// the last good query stay.
#include "EmulatorFixture.h"

#include "Common.h"
#include "Encoding.h"
#include "HistoryDb.h"
#include "IniFile.h"
#include "PhoneTable.h"

#include "HtmlDocument.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QUrl>

namespace {
void keepOldFigures(TIssa &issa)
{
    issa.Balance = 99.5f;
    issa.UserName = QStringLiteral("старые данные");
}
}  // namespace

TEST_F(EngineTest, EveryErrorPageGivesItsMessage)
{
    const QList<QPair<QString, QString>> cases = {
        {QStringLiteral("auth-error"), QStringLiteral("Ошибка аутентификации")},
        {QStringLiteral("unavailable"), QStringLiteral("ИССА временно недоступна")},
        {QStringLiteral("session-expired"), QStringLiteral("Время сеанса истекло")},
        {QStringLiteral("server-error"), QStringLiteral("Сервер ответил 500: Internal Server Error")},
        {QStringLiteral("unrecognised"), QStringLiteral("Неопознанная ошибка ИССА. Просмотрите загруженные страницы.")},
    };
    QList<EmulatorPhone> phones;
    for (int i = 0; i < cases.size(); ++i)
        phones << phone(QStringLiteral("916000000%1").arg(i + 1), cases[i].first);
    startWith(phones);
    for (int i = 1; i <= cases.size(); ++i)
        keepOldFigures(state.IssaArray[i]);
    run();
    for (int i = 1; i <= cases.size(); ++i) {
        const TIssa &r = state.IssaArray[i];
        EXPECT_EQ(r.ErrorMsg, cases[i - 1].second) << cases[i - 1].first.toStdString();
        EXPECT_EQ(r.State, dsError);
        EXPECT_FALSE(r.Success);
        EXPECT_FLOAT_EQ(r.Balance, 99.5f);
        EXPECT_EQ(r.UserName, QStringLiteral("старые данные"));
        EXPECT_FALSE(r.LoadedPages.isEmpty());
        EXPECT_EQ(historyRows(phones[i - 1].number), 0);
    }
    // Every failed phone leaves a line in the log.
    const QString log = FromCp1251(ReadFileBytes(ErrorLogFileName()));
    EXPECT_TRUE(log.contains(QStringLiteral(": Телефон № 1, 9160000001 [Телефон 1]: Ошибка аутентификации\r\n")))
        << log.toStdString();
    EXPECT_EQ(log.count(QStringLiteral(": Телефон № ")), cases.size());
}

TEST_F(EngineTest, NetworkFaultsEndThePhoneWithAClearError)
{
    startWith({phone(QStringLiteral("9160000001"), QStringLiteral("redirect-loop")),
               phone(QStringLiteral("9160000002"), QStringLiteral("drop"))});
    run();
    for (int i = 1; i <= 2; ++i) {
        EXPECT_EQ(state.IssaArray[i].State, dsError) << i;
        EXPECT_FALSE(state.IssaArray[i].ErrorMsg.isEmpty()) << i;
        EXPECT_FALSE(state.IssaArray[i].ErrorMsg.startsWith(QStringLiteral("TimeOut")))
            << state.IssaArray[i].ErrorMsg.toStdString();
    }
    EXPECT_TRUE(state.IssaArray[1].ErrorMsg.contains(QStringLiteral("перенаправлен"), Qt::CaseInsensitive));
    // A page after the login that is neither an account nor an error page.
    state.ServersIni.WriteString(QStringLiteral("Эмулятор"), QStringLiteral("LoginURL"),
                                 emu.loginUrl().section(QLatin1Char('?'), 0, 0)
                                     + QStringLiteral("?function=is_services"));
    run();
    EXPECT_TRUE(state.IssaArray[1].ErrorMsg.startsWith(QStringLiteral("Неизвестная страница после входа: \"")))
        << state.IssaArray[1].ErrorMsg.toStdString();
}

TEST_F(EngineTest, AnAnswerThatNeverComesEndsByTheTimeLimit)
{
    EmulatorPhone hang = phone(QStringLiteral("9160000001"), QStringLiteral("hang"));
    hang.hangMs = 5000;
    startWith({hang, phone(QStringLiteral("9160000002"))});
    engine->SetTimeOutMs(600);
    run();
    EXPECT_EQ(state.IssaArray[1].State, dsError);
    EXPECT_EQ(state.IssaArray[1].ErrorMsg, QStringLiteral("TimeOut: Нет информации о балансе в течении 3-х минут"));
    EXPECT_TRUE(state.IssaArray[2].Success) << "the run goes on with the next phone";
}

TEST_F(EngineTest, AnUnreadableAccountPageFailsThePhoneAndKeepsItsFigures)
{
    // A saved test page opened straight from the disk; it ends two lines after
    // the account number's caption, so looking for the number on the third
    // line runs past its end.
    startWith({phone(QStringLiteral("9160000001"))});
    const QString page = home.file(QStringLiteral("korvet-test.html"));
    WriteFileBytes(page,
                   ToCp1251(QStringLiteral("<html><body>Виртуальный баланс<br>Лицевой счет: <br><br></body></html>")));
    state.ServersIni.WriteString(QStringLiteral("Эмулятор"), QStringLiteral("LoginURL"),
                                 QUrl::fromLocalFile(page).toString());
    keepOldFigures(state.IssaArray[1]);
    run();
    ASSERT_EQ(state.IssaArray[1].LoadedPages.size(), 1);
    EXPECT_EQ(state.IssaArray[1].State, dsError) << state.IssaArray[1].LoadedPages.last().toStdString();
    EXPECT_FALSE(state.IssaArray[1].Success);
    EXPECT_TRUE(state.IssaArray[1].ErrorMsg.contains(QStringLiteral("BalanceParser2.ParseBalans -- > ")))
        << state.IssaArray[1].ErrorMsg.toStdString();
    EXPECT_FLOAT_EQ(state.IssaArray[1].Balance, 99.5f);
    EXPECT_EQ(historyRows(QStringLiteral("9160000001")), 0);
    EXPECT_EQ(emu.stats().value(QStringLiteral("requests")), 0);
    // One failure, one line in the log.
    const QString log = FromCp1251(ReadFileBytes(ErrorLogFileName()));
    EXPECT_EQ(log.count(QStringLiteral("BalanceParser2.ParseBalans -- > ")), 1) << log.toStdString();
}

TEST_F(EngineTest, ALoginPageWithoutTheNumberFieldFailsAtOnceWithTheReason)
{
    // The region names a number field that the emulator's login form lacks.
    startWith({phone(QStringLiteral("9160000001"), QStringLiteral("form-only"))}, /*formLogin=*/true);
    state.ServersIni.WriteString(QStringLiteral("Эмулятор"), QStringLiteral("LoginName"), QStringLiteral("phone"));
    engine->SetTimeOutMs(20000);
    QElapsedTimer clock;
    clock.start();
    run();
    EXPECT_LT(clock.elapsed(), 8000) << "ended by the time limit instead of the page";
    EXPECT_EQ(state.IssaArray[1].State, dsError);
    EXPECT_FALSE(state.IssaArray[1].Success);
    EXPECT_TRUE(state.IssaArray[1].ErrorMsg.contains(QStringLiteral("На странице входа нет поля \"phone\"")))
        << state.IssaArray[1].ErrorMsg.toStdString();
    EXPECT_EQ(emu.stats().value(QStringLiteral("form-pages")), 1);
    EXPECT_EQ(emu.loginCount(QStringLiteral("9160000001")), 0);
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
            EXPECT_TRUE(state.IssaArray[slot].Success) << "the figures read are true";
            EXPECT_TRUE(state.IssaArray[slot].NotSaved) << slot;
        }
        EXPECT_FLOAT_EQ(state.IssaArray[2].Balance, 20.0f);
        ASSERT_EQ(warnings.size(), round) << "one warning per run";
        EXPECT_TRUE(warnings.last().contains(QStringLiteral("file is not a database")))
            << warnings.last().toStdString();
    }
    EXPECT_FALSE(store->Available());
    // Repaired before the next run: checked again, stored, the marks gone.
    QFile::remove(HistoryDbFileName());
    CreateHistoryDatabase();
    run();
    EXPECT_TRUE(store->Available());
    EXPECT_FALSE(state.IssaArray[1].NotSaved);
    EXPECT_EQ(historyRows(QStringLiteral("9160000002")), 1);
    EXPECT_EQ(warnings.size(), 2);
}

TEST_F(EngineTest, ALoginPageAfterTheCredentialsEndsThePhoneWithoutASecondTry)
{
    // The site answers the login with its form again, as some do for a wrong
    // password: by POST and through the form page alike, the password goes
    // out once and the phone ends at once.
    const QString number = QStringLiteral("9160000001");
    startWith({phone(number, QStringLiteral("login-again"))});
    engine->SetTimeOutMs(30000);
    QElapsedTimer clock;
    clock.start();
    run();
    EXPECT_EQ(state.IssaArray[1].ErrorMsg, QString::fromUtf8(AuthErrorMsg));
    EXPECT_EQ(emu.loginCount(number), 1);
    state.ServersIni.WriteString(QStringLiteral("Эмулятор"), QStringLiteral("LoginURL"), emu.formUrl());
    run();
    EXPECT_EQ(state.IssaArray[1].ErrorMsg, QString::fromUtf8(AuthErrorMsg));
    EXPECT_EQ(emu.loginCount(number), 2);
    EXPECT_LT(clock.elapsed(), 10000);
}

TEST_F(EngineTest, ALogThatCannotBeWrittenStopsNoPhone)
{
    startWith({phone(QStringLiteral("9160000001"), QStringLiteral("unavailable")),
               phone(QStringLiteral("9160000002"), QStringLiteral("auth-error")), phone(QStringLiteral("9160000003"))});
    ASSERT_TRUE(QDir().mkpath(ErrorLogFileName()));  // a folder where the log should be
    state.IniFile.WriteBool(QStringLiteral("Debug"), QStringLiteral("SaveLogFiles"), true);
    run();
    EXPECT_EQ(state.IssaArray[1].ErrorMsg, QStringLiteral("ИССА временно недоступна"));
    EXPECT_EQ(state.IssaArray[2].ErrorMsg, QString::fromUtf8(AuthErrorMsg));
    EXPECT_TRUE(state.IssaArray[3].Success) << state.IssaArray[3].ErrorMsg.toStdString();
}

// Numbers and passwords with the characters of the form encoding and Cyrillic
// arrive as typed, by POST and through the login form; none of them appears
// in any file the program writes, nor in the phone's messages.
TEST_F(EngineTest, CredentialsAreEncodedAndNeverWrittenAnywhere)
{
    const QStringList passwords = {QStringLiteral("1+2-3"), QStringLiteral("a&b=c;d"), QStringLiteral("100% 'q' \"w\""),
                                   QStringLiteral("Пароль+1")};
    QList<EmulatorPhone> phones;
    for (int i = 0; i < passwords.size(); ++i) {
        EmulatorPhone p = phone(QStringLiteral("916000000%1").arg(i + 1), QStringLiteral("ok"), i + 1);
        p.password = passwords[i];
        phones << p;
    }
    EmulatorPhone refused = phone(QStringLiteral("9160000009"), QStringLiteral("login-again"));
    refused.password = QStringLiteral("Секрет+%&9");
    phones << refused;
    startWith(phones);
    state.IniFile.WriteBool(QStringLiteral("Debug"), QStringLiteral("SaveLogFiles"), true);
    for (bool form : {false, true}) {
        state.ServersIni.WriteString(QStringLiteral("Эмулятор"), QStringLiteral("LoginURL"),
                                     form ? emu.formUrl() : emu.loginUrl());
        run();
        for (int i = 1; i <= passwords.size(); ++i)
            EXPECT_TRUE(state.IssaArray[i].Success)
                << (form ? "form " : "POST ") << i << " " << state.IssaArray[i].ErrorMsg.toStdString();
        EXPECT_EQ(state.IssaArray[5].ErrorMsg, QString::fromUtf8(AuthErrorMsg));
    }
    QStringList secrets = passwords;
    secrets << refused.password;
    QDirIterator files(home.dir(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    int scanned = 0;
    while (files.hasNext()) {
        const QString path = files.next();
        const QByteArray bytes = ReadFileBytes(path);
        ++scanned;
        for (const QString &secret : secrets) {
            for (const QByteArray &form : {secret.toUtf8(), ToCp1251(secret), FormUrlEncode(secret, "windows-1251"),
                                           QUrl::toPercentEncoding(secret)})
                EXPECT_FALSE(bytes.contains(form)) << path.toStdString() << " holds " << secret.toStdString();
        }
    }
    EXPECT_GT(scanned, 3) << "the pages and the log were written";
    for (int i = 1; i <= 5; ++i)
        for (const QString &secret : secrets)
            EXPECT_FALSE(state.IssaArray[i].ErrorMsg.contains(secret));
}

namespace {
// Starts the peak resident size of this process afresh from what it holds now,
// so that a peak measured next belongs to what runs next.
bool ResetPeakResident()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    return file.open(QIODevice::WriteOnly) && file.write("5") == 1;
}

// The peak resident size of this process, in kilobytes.
long PeakResidentKb()
{
    const QStringList lines
        = QString::fromLatin1(ReadFileBytes(QStringLiteral("/proc/self/status"))).split(QLatin1Char('\n'));
    for (const QString &line : lines)
        if (line.startsWith(QLatin1String("VmHWM:")))
            return line.section(QLatin1Char(':'), 1).trimmed().section(QLatin1Char(' '), 0, 0).toLong();
    return -1;
}
}  // namespace

TEST_F(EngineTest, AHostileAnswerIsCutAtTheLimitAsItArrives)
{
    startWith({phone(QStringLiteral("9160000001"), QStringLiteral("gzip-bomb")),
               phone(QStringLiteral("9160000002"), QStringLiteral("chunk-flood")),
               phone(QStringLiteral("9160000003"), QStringLiteral("chunk-bomb")), phone(QStringLiteral("9160000004"))});
    engine->SetTimeOutMs(60000);
    // 256 MiB inflated from a few hundred kilobytes; 64 KiB chunks without end;
    // one chunk announcing 2^62 bytes. Each sent as fast as the machine goes,
    // in answer to the login's POST: cut at the limit, and no more than a
    // bounded part of it held at any time.
    for (int slot : {1, 2, 3}) {
        ASSERT_TRUE(ResetPeakResident());
        run(2, slot);
        EXPECT_TRUE(state.IssaArray[slot].ErrorMsg.startsWith(QStringLiteral("Ответ сервера больше 8 МБ")))
            << slot << " " << state.IssaArray[slot].ErrorMsg.toStdString();
        const long peak = PeakResidentKb();
        ASSERT_GT(peak, 0);
        EXPECT_LT(peak, 100 * 1024) << "slot " << slot << ": peak resident size " << peak << " kB";
    }
    run(2, 4);
    EXPECT_TRUE(state.IssaArray[4].Success);
}
