// Logging in and reading the account page, and every way it can fail: each
// phone ends at once with its own result or cause.
#include "EmulatorFixture.h"

#include "Common.h"
#include "Encoding.h"
#include "HistoryDb.h"
#include "HistoryTestUtil.h"
#include "HtmlDocument.h"
#include "IniFile.h"
#include "PhoneTable.h"
#include "Setup.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {
void setLoginUrl(TProgramState &state, const QString &url)
{
    state.ServersIni.WriteString(u"Эмулятор"_s, u"LoginURL"_s, url);
}
}  // namespace

// One run by POST, one through the login form: good phones read over a redirect,
// a meta refresh and frames; failures end their phone at once with their cause,
// the figures kept; hostile answers cut as they arrive with bounded memory;
// passwords arrive as typed and appear in no file; an unwritable log stops nothing.
TEST_F(EngineTest, EveryPhoneEndsAtOnceWithItsResultOrCause)
{
    QList<EmulatorPhone> phones
        = {phone(u"9160000001"_s, u"ok"_s, 12.5), phone(u"9160000002"_s, u"meta-refresh"_s, 1),
           phone(u"9160000003"_s, u"frames"_s, 2), phone(u"9160000004"_s, u"redirect"_s, -7.25)};
    const float balances[] = {12.5f, 1, 2, -7.25f};
    phones[0].password = u"Ключ=&+%2"_s;
    phones[3].layout = u"sentences"_s;
    struct Row {
        const char *behaviour;
        QString text;  // the message, or a part of it when not exact
        bool exact;
        QString password;
    };
    const Row rows[] = {
        // Configured with a wrong password after the redirect's session: that session is not used.
        {"ok", u"Ошибка аутентификации"_s, true, {}},
        {"unavailable", u"ИССА временно недоступна"_s, true, u"1+2-3"_s},
        {"session-expired", u"Время сеанса истекло"_s, true, u"a&b=c;d"_s},
        {"server-error", u"Сервер ответил 500: Internal Server Error"_s, true, u"100% 'q' \"w\""_s},
        {"unrecognised", u"Неопознанная ошибка ИССА. Просмотрите загруженные страницы."_s, true, u"Пароль+1"_s},
        // The site answers the login with its form again: the password goes out once.
        {"login-again", QString::fromUtf8(AuthErrorMsg), true, u"Секрет+%&9"_s},
        {"redirect-loop", u"перенаправлен"_s, false, {}},
        {"drop", u"Ошибка сети при загрузке"_s, false, {}},
        {"gzip-bomb", u"Ответ сервера больше 8 МБ"_s, false, {}},
        {"chunk-flood", u"Ответ сервера больше 8 МБ"_s, false, {}},
        {"chunk-bomb", u"Ответ сервера больше 8 МБ"_s, false, {}},
    };
    const int first = 5, last = first + int(std::size(rows)) - 1, again = first + 5;
    QStringList secrets{phones[0].password};
    for (const Row &row : rows) {
        phones << phone(u"91600000%1"_s.arg(phones.size() + 10), QString::fromLatin1(row.behaviour));
        if (!row.password.isEmpty())
            secrets << (phones.last().password = row.password);
    }
    startWith(phones);
    EmulatorPhone wrong = phones[first - 1];
    wrong.password = u"000"_s;
    setPhone(first, wrong);
    // Phones without password, tick or address are passed over, their old errors cleared.
    for (int slot = last + 1; slot <= last + 3; ++slot) {
        EmulatorPhone skipped = phone(u"91700000%1"_s.arg(slot));
        skipped.password = slot == last + 1 ? QString() : skipped.password;
        setPhone(slot, skipped, slot != last + 2);
        state.IssaArray[slot].ErrorMsg = u"прежнее"_s;
    }
    TSetupPhoneLine line = state.Setup.Line(last + 3);
    line.Region = u"НЕТ"_s;  // a region nobody has
    state.Setup.SetLine(last + 3, line);
    state.IniFile.WriteBool(u"Debug"_s, u"SaveLogFiles"_s, true);
    for (int slot = first; slot <= last; ++slot) {
        state.IssaArray[slot].Balance = 99.5f;
        state.IssaArray[slot].UserName = u"старые данные"_s;
    }
    auto checkAll = [&] {
        for (int slot = 1; slot < first; ++slot)
            EXPECT_TRUE(state.IssaArray[slot].Success && state.IssaArray[slot].Balance == balances[slot - 1])
                << slot << " " << state.IssaArray[slot].ErrorMsg.toStdString();
        for (const Row &row : rows) {
            SCOPED_TRACE(row.behaviour);
            const int slot = first + int(&row - rows);
            const TIssa &r = state.IssaArray[slot];
            EXPECT_TRUE(row.exact ? r.ErrorMsg == row.text : r.ErrorMsg.contains(row.text, Qt::CaseInsensitive))
                << r.ErrorMsg.toStdString();
            EXPECT_FALSE(r.ErrorMsg.isEmpty() || r.ErrorMsg.startsWith(u"TimeOut"_s));
            EXPECT_TRUE(r.State == dsError && !r.Success && r.Balance == 99.5f && r.UserName == u"старые данные"_s);
            EXPECT_TRUE(!row.exact || !r.LoadedPages.isEmpty());
            EXPECT_EQ(historyRows(phones[slot - 1].number), 0);
        }
    };
    engine->SetTimeOutMs(60000);
    QFile peakReset(u"/proc/self/clear_refs"_s);  // the peak starts afresh from what the process holds now
    ASSERT_TRUE(peakReset.open(QIODevice::WriteOnly) && peakReset.write("5") == 1 && peakReset.flush());
    QElapsedTimer clock;
    clock.start();
    run();
    EXPECT_LT(clock.elapsed(), 40000) << "a phone waited for the time limit instead of its page";
    const QByteArray status = ReadFileBytes(u"/proc/self/status"_s);  // the peak resident size in kB
    const long peak = status.mid(status.indexOf("VmHWM:") + 6).trimmed().split(' ').value(0).toLong();
    EXPECT_TRUE(peak > 0 && peak < 100 * 1024) << "peak resident size " << peak << " kB";
    checkAll();
    for (int slot = last + 1; slot <= last + 3; ++slot)
        EXPECT_TRUE(state.IssaArray[slot].State == dsNone && state.IssaArray[slot].ErrorMsg.isEmpty()
                    && emu.loginCount(u"91700000%1"_s.arg(slot)) == 0)
            << slot;
    const TIssa &r1 = state.IssaArray[1];  // the configured number, not the printed one
    EXPECT_TRUE(r1.State == dsNone && r1.PhoneID == 1 && r1.PhoneNumber == phones[0].number
                && r1.Alias == u"Телефон 1"_s && r1.LicSchet == phones[0].licSchet && r1.UserName == phones[0].userName
                && r1.SMS == 25 && r1.QueryDateTime > 0);
    EXPECT_TRUE(r1.LoadedPages.value(r1.LoadedPages.size() - 1)
                    .startsWith(u"<!-- "_s + emu.loginUrl() + u" -->\r\n\r\n<body"_s));
    EXPECT_TRUE(historyRows(phones[0].number) == 1 && historyRows(phones[3].number) == 1);
    EXPECT_EQ(emu.loginCount(phones[again - 1].number), 1);
    // Every failed phone leaves one line in the log.
    const QString log = LogText();
    EXPECT_TRUE(log.contains(u": Телефон № 5, 9160000014 [Телефон 5]: Ошибка аутентификации\r\n"_s))
        << log.toStdString();
    EXPECT_EQ(log.count(u": Телефон № "_s), last - first + 1);

    // A saved account page opened from the disk that ends two lines after the
    // account number's caption: reading the number runs past its end.
    const QString page = home.file(u"korvet-test.html"_s);
    WriteFileBytes(page, ToCp1251(u"<html><body>Виртуальный баланс<br>Лицевой счет: <br><br></body></html>"_s));
    setLoginUrl(state, QUrl::fromLocalFile(page).toString());
    const int requests = emu.stats().value(u"requests"_s);
    run(2, first);
    EXPECT_TRUE(state.IssaArray[first].LoadedPages.size() == 1
                && state.IssaArray[first].ErrorMsg.contains(u"BalanceParser2.ParseBalans -- > "_s))
        << state.IssaArray[first].ErrorMsg.toStdString();
    EXPECT_EQ(emu.stats().value(u"requests"_s), requests);
    EXPECT_EQ(LogText().count(u"BalanceParser2.ParseBalans -- > "_s), 1);

    // A page after the login that is neither an account nor an error page.
    setLoginUrl(state, emu.loginUrl().section(QLatin1Char('?'), 0, 0) + u"?function=is_services"_s);
    run(2, 1);
    EXPECT_TRUE(r1.ErrorMsg.startsWith(u"Неизвестная страница после входа: \""_s)) << r1.ErrorMsg.toStdString();

    // Through the login form, with a folder where the log should be.
    ASSERT_TRUE(QFile::rename(ErrorLogFileName(), home.file(u"old.err"_s)));
    ASSERT_TRUE(QDir().mkpath(ErrorLogFileName()));
    setLoginUrl(state, emu.formUrl());
    run();
    checkAll();
    EXPECT_TRUE(r1.LoadedPages.size() == 2 && emu.loginCount(phones[again - 1].number) == 2);
    // A login form without the region's number field: the reason, not the time limit.
    state.ServersIni.WriteString(u"Эмулятор"_s, u"LoginName"_s, u"phone"_s);
    clock.restart();
    run(2, again);
    EXPECT_TRUE(clock.elapsed() < 8000 && emu.loginCount(phones[again - 1].number) == 2
                && state.IssaArray[again].ErrorMsg.contains(u"На странице входа нет поля \"phone\""_s))
        << state.IssaArray[again].ErrorMsg.toStdString();

    // The debug switch saved the pages, with their address first; no secret anywhere.
    const QStringList saved = QDir(home.dir()).entryList({u"\?\?-\?\?-\?\?_\?\?-\?\?-\?\?-\?\?\?.html"_s});
    ASSERT_GE(saved.size(), 5);
    EXPECT_TRUE(ReadFileBytes(home.file(saved.first())).startsWith("<!-- http://127.0.0.1:"));
    QDirIterator files(home.dir(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        const QByteArray bytes = ReadFileBytes(path);
        for (const QString &secret : secrets)
            for (const QByteArray &form : {secret.toUtf8(), ToCp1251(secret), FormUrlEncode(secret, "windows-1251"),
                                           QUrl::toPercentEncoding(secret)})
                EXPECT_FALSE(bytes.contains(form)) << path.toStdString() << " holds " << secret.toStdString();
    }
    for (const TIssa &r : state.IssaArray)
        for (const QString &secret : secrets)
            EXPECT_FALSE(r.ErrorMsg.contains(secret));
}

// Over TLS the certificate must be trusted; a password never goes to a plain
// http:// address that is not on this machine.
TEST_F(EngineTest, PasswordsGoOnlyOverTrustedConnections)
{
    QString cert, key, error;
    ASSERT_TRUE(MakeTestCertificate(home.dir(), u"issa"_s, &cert, &key, &error)) << error.toStdString();
    startWith({phone(u"9160000001"_s, u"ok"_s, 5)}, false, cert, key);
    run();  // the certificate is nobody's: the phone fails and nothing is sent
    EXPECT_TRUE(state.IssaArray[1].ErrorMsg.contains(u"Сертификат"_s)) << state.IssaArray[1].ErrorMsg.toStdString();
    EXPECT_EQ(emu.loginCount(u"9160000001"_s), 0);
    engine->SetCaCertificates(cert);
    run();
    EXPECT_TRUE(state.IssaArray[1].Success && state.IssaArray[1].Balance == 5.0f)
        << state.IssaArray[1].ErrorMsg.toStdString();
    setLoginUrl(state, u"http://issa.invalid/cgi-bin/cgi.exe?function=is_login"_s);
    run();
    EXPECT_TRUE(state.IssaArray[1].ErrorMsg.contains(u"не защищён (http://)"_s))
        << state.IssaArray[1].ErrorMsg.toStdString();
}
