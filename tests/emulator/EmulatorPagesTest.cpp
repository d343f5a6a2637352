// The pages of the emulated site: login form, POST login, account pages in both
// layouts, error pages, and the ways to reach the account page.

#include "EmulatorTestUtil.h"

#include "Encoding.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kMarkerAccount = QStringLiteral("туальный баланс");

class EmulatorPages : public ::testing::Test {
protected:
    void startWith(const QList<EmulatorPhone> &phones)
    {
        ASSERT_TRUE(emu.start(phones)) << emu.errorString().toStdString();
        client = ClientFor(emu);
    }
    httplib::Result getWithCookie(const std::string &path, const std::string &cookie)
    {
        httplib::Headers headers;
        if (!cookie.empty())
            headers.emplace("Cookie", cookie);
        return client->Get(path.c_str(), headers);
    }

    EmulatorProcess emu;
    std::unique_ptr<httplib::Client> client;
};

TEST_F(EmulatorPages, LoginFormPageHasTheFieldsTheProgramFillsIn)
{
    startWith({FullPhone(QStringLiteral("9161234567"))});
    auto res = client->Get(kFormPath);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=windows-1251");
    // The bytes are windows-1251, not UTF-8.
    EXPECT_NE(res->body.find(ToCp1251(QStringLiteral("Пароль:")).toStdString()), std::string::npos);
    const QString page = PageText(*res);
    EXPECT_TRUE(page.contains(QStringLiteral(
        R"(<form name="loginform" method="POST" action="/cgi-bin/cgi.exe?function=is_login">)")));
    EXPECT_TRUE(page.contains(QStringLiteral(R"(<input type="hidden" name="Lang" value="2">)")));
    EXPECT_TRUE(page.contains(QStringLiteral(R"(name="mobnum")")));
    EXPECT_TRUE(page.contains(QStringLiteral(R"(<input type="password" name="password")")));
    EXPECT_EQ(MarkersIn(page), QStringList{QStringLiteral("mobnum")});
    EXPECT_EQ(emu.stats().value(QStringLiteral("form-pages")), 1);
}

TEST_F(EmulatorPages, PostLoginAnswersWithTheAccountPageInLabelRows)
{
    startWith({FullPhone(QStringLiteral("9161234567"))});
    auto res = PostLogin(*client, QStringLiteral("9161234567"), QStringLiteral("secret"));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=windows-1251");
    EXPECT_FALSE(SessionCookie(*res).empty());
    const QString page = PageText(*res);
    EXPECT_EQ(MarkersIn(page), QStringList{kMarkerAccount});
    // Each label stands on its own line with its value on the next one.
    EXPECT_EQ(LineAfter(page, QStringLiteral("/account.gif")), QStringLiteral("1234567890"));
    EXPECT_EQ(LineAfter(page, QStringLiteral("пользователь:")), QStringLiteral("Петров Пётр"));
    EXPECT_EQ(LineAfter(page, QStringLiteral("person.gif")), QStringLiteral("Петров Пётр"));
    EXPECT_EQ(LineAfter(page, QStringLiteral("номер телефона:")), QStringLiteral("+7 (916) 123-45-67"));
    EXPECT_EQ(LineAfter(page, QStringLiteral("внутренний курс на сегодня")), QStringLiteral("28,50 руб."));
    EXPECT_EQ(LineAfter(page, QStringLiteral("актуальный баланс")), QStringLiteral("12,34 у.е."));
    EXPECT_EQ(LineAfter(page, QStringLiteral("обещанного платежа")), QStringLiteral("50,00 у.е."));
    EXPECT_EQ(LineAfter(page, QStringLiteral("средняя скорость расходования")),
              QStringLiteral("1,50 у.е./день"));
    EXPECT_EQ(LineAfter(page, QStringLiteral("предположительная дата отключения")),
              QStringLiteral("8 дн."));
    // The figures that only sentences carry.
    EXPECT_TRUE(LineWith(page, QStringLiteral("предоплаты составляет "))
                    .endsWith(QStringLiteral("предоплаты составляет 15.00 у.е.")));
    EXPECT_TRUE(LineWith(page, QStringLiteral("sms составляет ")).contains(QStringLiteral("SMS составляет 25 шт.")));
    EXPECT_TRUE(LineWith(page, QStringLiteral("бесплатных разговоров составляет "))
                    .contains(QStringLiteral("составляет 80 мин.")));
    EXPECT_TRUE(LineWith(page, QStringLiteral("истекает менее чем через "))
                    .contains(QStringLiteral("истекает менее чем через 10 дн.")));
    // Nothing that would fill a field from the wrong line before the real row.
    EXPECT_TRUE(LineWith(page, QStringLiteral("Абонент")).isNull());
    EXPECT_TRUE(LineWith(page, QStringLiteral("На счету")).isNull());
    EXPECT_EQ(emu.loginCount(QStringLiteral("9161234567")), 1);
    EXPECT_EQ(emu.accountCount(QStringLiteral("9161234567")), 1);
}

TEST_F(EmulatorPages, AccountPageInSentenceRows)
{
    EmulatorPhone debt = FullPhone(QStringLiteral("9160000001"), QStringLiteral("ok"), QStringLiteral("sentences"));
    debt.balance = -7.25;
    debt.minutes = 45;
    EmulatorPhone credit = FullPhone(QStringLiteral("9160000002"), QStringLiteral("ok"), QStringLiteral("sentences"));
    EmulatorPhone many = FullPhone(QStringLiteral("9160000003"), QStringLiteral("ok"), QStringLiteral("sentences"));
    many.minutes = 150;
    startWith({debt, credit, many});

    auto res = PostLogin(*client, debt.number, debt.password, "password");
    ASSERT_TRUE(res);
    QString page = PageText(*res);
    EXPECT_EQ(MarkersIn(page), QStringList{kMarkerAccount});
    // The balance caption must not be the label-row one, which would read the
    // line after it as the balance.
    EXPECT_FALSE(page.contains(QStringLiteral("актуальный баланс"), Qt::CaseInsensitive));
    EXPECT_EQ(LineAfter(page, QStringLiteral("Лицевой счет: ")), QStringLiteral("1234567890"));
    // The first line naming the subscriber is the label row.
    EXPECT_EQ(LineAfter(page, QStringLiteral("абонент")), QStringLiteral("Петров Пётр"));
    EXPECT_EQ(LineAfter(page, QStringLiteral("внутренний курс на сегодня")), QStringLiteral("28.50"));
    EXPECT_EQ(LineAfter(page, QStringLiteral("обещанного платежа")), QStringLiteral("50.00"));
    EXPECT_EQ(LineAfter(page, QStringLiteral("средняя скорость расходования")), QStringLiteral("1.50"));
    EXPECT_EQ(LineWith(page, QStringLiteral("задолженность вашего лицевого счета равна ")),
              QStringLiteral("Текущая задолженность вашего лицевого счета равна 7.25 у.е."));
    EXPECT_TRUE(LineWith(page, QStringLiteral("вашего лицевого счета равен ")).isNull());
    EXPECT_TRUE(LineWith(page, QStringLiteral("ожидается менее, чем через "))
                    .contains(QStringLiteral("ожидается менее, чем через 8 дн.")));
    EXPECT_TRUE(LineWith(page, QStringLiteral("рек.опл:")).contains(QStringLiteral("рек.опл: 15.00 у.е.")));
    EXPECT_TRUE(LineWith(page, QStringLiteral("смс составляет ")).contains(QStringLiteral("смс составляет 25 шт.")));
    EXPECT_TRUE(LineWith(page, QStringLiteral("sms составляет")).isNull());
    EXPECT_TRUE(LineWith(page, QStringLiteral("разговоров типа составляет "))
                    .endsWith(QStringLiteral("разговоров типа составляет 00:45:00")));

    res = PostLogin(*client, credit.number, credit.password);
    ASSERT_TRUE(res);
    page = PageText(*res);
    EXPECT_EQ(LineWith(page, QStringLiteral("вашего лицевого счета равен ")),
              QStringLiteral("Баланс вашего лицевого счета равен 12.34 у.е."));
    EXPECT_TRUE(LineWith(page, QStringLiteral("задолженность")).isNull());
    EXPECT_TRUE(LineWith(page, QStringLiteral("разговоров типа составляет "))
                    .endsWith(QStringLiteral("составляет 01:20:00")));

    res = PostLogin(*client, many.number, many.password);
    ASSERT_TRUE(res);
    EXPECT_TRUE(LineWith(PageText(*res), QStringLiteral("разговоров типа составляет "))
                    .endsWith(QStringLiteral("составляет 150 мин.")));
}

TEST_F(EmulatorPages, WrongCredentialsAndRefusedPhonesGetTheAuthenticationErrorPage)
{
    startWith({FullPhone(QStringLiteral("9161234567")),
               FullPhone(QStringLiteral("9160000009"), QStringLiteral("auth-error"))});
    struct Case {
        QString number, password;
    };
    const Case cases[] = {{QStringLiteral("9161234567"), QStringLiteral("wrong")},
                          {QStringLiteral("9169999999"), QStringLiteral("secret")},
                          {QStringLiteral("9160000009"), QStringLiteral("secret")},
                          {QStringLiteral("9161234567"), QString()}};
    for (const Case &c : cases) {
        auto res = PostLogin(*client, c.number, c.password);
        ASSERT_TRUE(res) << c.number.toStdString();
        EXPECT_EQ(res->status, 200);
        const QString page = PageText(*res);
        EXPECT_EQ(MarkersIn(page), QStringList{QStringLiteral("Ошибка аутентификации")}) << c.number.toStdString();
        EXPECT_TRUE(SessionCookie(*res).empty());
    }
    // Only attempts that carried a password are counted, per number.
    EXPECT_EQ(emu.loginCount(QStringLiteral("9161234567")), 1);
    EXPECT_EQ(emu.loginCount(QStringLiteral("9169999999")), 1);
    EXPECT_EQ(emu.loginCount(QStringLiteral("9160000009")), 1);
    EXPECT_EQ(emu.accountCount(QStringLiteral("9161234567")), 0);
}

TEST_F(EmulatorPages, ErrorPagesCarryExactlyTheirOwnMarker)
{
    startWith({FullPhone(QStringLiteral("9160000001"), QStringLiteral("unavailable")),
               FullPhone(QStringLiteral("9160000002"), QStringLiteral("server-error")),
               FullPhone(QStringLiteral("9160000003"), QStringLiteral("session-expired")),
               FullPhone(QStringLiteral("9160000004"), QStringLiteral("unrecognised"))});

    auto res = PostLogin(*client, QStringLiteral("9160000001"), QStringLiteral("secret"));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(MarkersIn(PageText(*res)), QStringList{QStringLiteral("временно недоступна")});

    res = PostLogin(*client, QStringLiteral("9160000002"), QStringLiteral("secret"));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 500);
    EXPECT_EQ(res->get_header_value_count("Content-Type"), 1u);
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=iso-8859-1");
    EXPECT_EQ(MarkersIn(PageText(*res)), QStringList{QStringLiteral("Internal Server Error")});

    // Session expired and the unrecognised page both live in the account section.
    for (const char *number : {"9160000003", "9160000004"}) {
        res = PostLogin(*client, QString::fromLatin1(number), QStringLiteral("secret"));
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 302) << number;
        EXPECT_EQ(res->get_header_value("Location"), kAccountPath);
        const std::string cookie = SessionCookie(*res);
        ASSERT_FALSE(cookie.empty());
        auto account = getWithCookie(kAccountPath, cookie);
        ASSERT_TRUE(account);
        EXPECT_EQ(account->status, 200);
        const QStringList expected = QString::fromLatin1(number) == QStringLiteral("9160000003")
                                         ? QStringList{QStringLiteral("время сеанса истекло")}
                                         : QStringList{};
        EXPECT_EQ(MarkersIn(PageText(*account)), expected) << number;
    }

    // The account section without a session says the session expired.
    res = getWithCookie(kAccountPath, "ISSASESSION=0123456789abcdef");
    ASSERT_TRUE(res);
    EXPECT_EQ(MarkersIn(PageText(*res)), QStringList{QStringLiteral("время сеанса истекло")});
    EXPECT_EQ(emu.accountCount(QStringLiteral("9160000003")), 0);
    EXPECT_EQ(emu.accountCount(QStringLiteral("9160000004")), 0);
}

TEST_F(EmulatorPages, RedirectMetaRefreshAndFramesLeadToTheAccountPage)
{
    startWith({FullPhone(QStringLiteral("9160000001"), QStringLiteral("redirect")),
               FullPhone(QStringLiteral("9160000002"), QStringLiteral("meta-refresh")),
               FullPhone(QStringLiteral("9160000003"), QStringLiteral("frames"))});

    auto res = PostLogin(*client, QStringLiteral("9160000001"), QStringLiteral("secret"));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 302);
    EXPECT_EQ(res->get_header_value("Location"), kAccountPath);
    std::string cookie = SessionCookie(*res);
    auto account = getWithCookie(kAccountPath, cookie);
    ASSERT_TRUE(account);
    EXPECT_EQ(MarkersIn(PageText(*account)), QStringList{kMarkerAccount});
    EXPECT_EQ(emu.accountCount(QStringLiteral("9160000001")), 1);

    res = PostLogin(*client, QStringLiteral("9160000002"), QStringLiteral("secret"));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    QString page = PageText(*res);
    EXPECT_TRUE(page.contains(QStringLiteral(
        R"(<meta http-equiv="refresh" content="0; url=/cgi-bin/cgi.exe?function=is_account">)")));
    EXPECT_EQ(MarkersIn(page), QStringList{});
    account = getWithCookie(kAccountPath, SessionCookie(*res));
    ASSERT_TRUE(account);
    EXPECT_EQ(MarkersIn(PageText(*account)), QStringList{kMarkerAccount});

    res = PostLogin(*client, QStringLiteral("9160000003"), QStringLiteral("secret"));
    ASSERT_TRUE(res);
    page = PageText(*res);
    EXPECT_TRUE(page.contains(QStringLiteral("<frameset")));
    EXPECT_TRUE(page.contains(QStringLiteral(R"(<frame name="menu" src="/cgi-bin/cgi.exe?function=is_menu")")));
    EXPECT_TRUE(page.contains(QStringLiteral(R"(<frame name="main" src="/cgi-bin/cgi.exe?function=is_account">)")));
    EXPECT_EQ(MarkersIn(page), QStringList{});
    cookie = SessionCookie(*res);
    auto menu = getWithCookie("/cgi-bin/cgi.exe?function=is_menu", cookie);
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->status, 200);
    EXPECT_EQ(MarkersIn(PageText(*menu)), QStringList{});
    account = getWithCookie(kAccountPath, cookie);
    ASSERT_TRUE(account);
    EXPECT_EQ(MarkersIn(PageText(*account)), QStringList{kMarkerAccount});
}

TEST_F(EmulatorPages, FormOnlyPhoneLogsInOnlyWithTheKeyOfAServedForm)
{
    startWith({FullPhone(QStringLiteral("9160000001"), QStringLiteral("form-only"))});
    auto res = PostLogin(*client, QStringLiteral("9160000001"), QStringLiteral("secret"));
    ASSERT_TRUE(res);
    EXPECT_EQ(MarkersIn(PageText(*res)), QStringList{QStringLiteral("mobnum")});
    res = PostLogin(*client, QStringLiteral("9160000001"), QStringLiteral("secret"), "password",
                    QStringLiteral("formkey=0000"));
    ASSERT_TRUE(res);
    EXPECT_EQ(MarkersIn(PageText(*res)), QStringList{QStringLiteral("mobnum")});

    auto form = client->Get(kFormPath);
    ASSERT_TRUE(form);
    static const QRegularExpression keyField(QStringLiteral(R"re(name="formkey" value="([0-9a-f]+)")re"));
    const auto match = keyField.match(PageText(*form));
    ASSERT_TRUE(match.hasMatch());
    res = PostLogin(*client, QStringLiteral("9160000001"), QStringLiteral("secret"), "password",
                    QStringLiteral("formkey=") + match.captured(1) + QStringLiteral("&remember=1&entry=account"));
    ASSERT_TRUE(res);
    EXPECT_EQ(MarkersIn(PageText(*res)), QStringList{kMarkerAccount});
}

TEST_F(EmulatorPages, CharsetFollowsThePhone)
{
    EmulatorPhone utf8 = FullPhone(QStringLiteral("9160000001"));
    utf8.charset = QStringLiteral("utf-8");
    EmulatorPhone metaOnly = FullPhone(QStringLiteral("9160000002"));
    metaOnly.charsetInHeader = false;
    startWith({utf8, metaOnly});

    auto res = PostLogin(*client, utf8.number, utf8.password);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=utf-8");
    QString page = QString::fromUtf8(QByteArray::fromStdString(res->body));
    EXPECT_TRUE(page.contains(QStringLiteral("charset=utf-8")));
    EXPECT_EQ(LineAfter(page, QStringLiteral("Актуальный баланс")), QStringLiteral("12,34 у.е."));

    res = PostLogin(*client, metaOnly.number, metaOnly.password);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/html");
    page = FromCp1251(QByteArray::fromStdString(res->body));
    EXPECT_TRUE(page.contains(QStringLiteral(R"(content="text/html; charset=windows-1251")")));
    EXPECT_EQ(LineAfter(page, QStringLiteral("Актуальный баланс")), QStringLiteral("12,34 у.е."));
}

TEST_F(EmulatorPages, PagesFolderReplacesBuiltInTemplates)
{
    QTemporaryDir pages;
    QFile f(pages.filePath(QStringLiteral("account-labels.html")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("<p>Актуальный баланс:</p>\n<p>{{Balance}} своя страница</p>\n").toUtf8());
    f.close();
    ASSERT_TRUE(emu.start({FullPhone(QStringLiteral("9161234567"))}, {}, {},
                          {QStringLiteral("--pages"), pages.path()}))
        << emu.errorString().toStdString();
    client = ClientFor(emu);
    auto res = PostLogin(*client, QStringLiteral("9161234567"), QStringLiteral("secret"));
    ASSERT_TRUE(res);
    const QString page = PageText(*res);
    EXPECT_EQ(LineAfter(page, QStringLiteral("Актуальный баланс:")), QStringLiteral("12,34 своя страница"));
    // The other templates stay built in.
    EXPECT_TRUE(page.contains(QStringLiteral("Система самообслуживания")));
}

} // namespace
