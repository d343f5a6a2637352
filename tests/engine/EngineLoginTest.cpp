// Logging in and reading the account page: by POST, through the login form,
// over redirects, meta refresh, frames and TLS; results and history stored.
#include "EmulatorFixture.h"

#include "Common.h"
#include "IniFile.h"
#include "PhoneTable.h"

#include <QDir>

TEST_F(EngineTest, PostLoginFillsTheRecordAndStoresTheHistory)
{
    EmulatorPhone a = phone(QStringLiteral("9160000001"), QStringLiteral("ok"), 12.5);
    EmulatorPhone b = phone(QStringLiteral("9160000002"), QStringLiteral("redirect"), -7.25);
    b.layout = QStringLiteral("sentences");
    startWith({a, b, phone(QStringLiteral("9160000003"), QStringLiteral("meta-refresh"), 1),
               phone(QStringLiteral("9160000004"), QStringLiteral("frames"), 2)});
    run();

    const TIssa &r1 = state.IssaArray[1];
    EXPECT_TRUE(r1.Success) << r1.ErrorMsg.toStdString();
    EXPECT_EQ(r1.State, dsNone);
    EXPECT_EQ(r1.PhoneID, 1);
    EXPECT_EQ(r1.PhoneNumber, a.number) << "the configured number, not the printed one";
    EXPECT_EQ(r1.Alias, QStringLiteral("Телефон 1"));
    EXPECT_EQ(r1.LicSchet, a.licSchet);
    EXPECT_EQ(r1.UserName, a.userName);
    EXPECT_FLOAT_EQ(r1.Balance, 12.5f);
    EXPECT_EQ(r1.SMS, 25);
    EXPECT_GT(r1.QueryDateTime, 0.0);
    ASSERT_FALSE(r1.LoadedPages.isEmpty());
    EXPECT_TRUE(r1.LoadedPages.last().startsWith(QStringLiteral("<!-- ") + emu.loginUrl()
                                                 + QStringLiteral(" -->\r\n\r\n<body")));

    EXPECT_TRUE(state.IssaArray[2].Success) << state.IssaArray[2].ErrorMsg.toStdString();
    EXPECT_FLOAT_EQ(state.IssaArray[2].Balance, -7.25f);
    EXPECT_EQ(historyRows(a.number), 1);
    EXPECT_EQ(historyRows(b.number), 1);
    EXPECT_EQ(emu.loginCount(a.number), 1);
    for (int slot : {3, 4}) {  // through a meta refresh and through frames
        EXPECT_TRUE(state.IssaArray[slot].Success) << state.IssaArray[slot].ErrorMsg.toStdString();
        EXPECT_FLOAT_EQ(state.IssaArray[slot].Balance, float(slot - 2));
    }
}

TEST_F(EngineTest, FormLoginFillsAndSubmitsTheLoginPage)
{
    startWith({phone(QStringLiteral("9160000001"), QStringLiteral("form-only"), 33)}, /*formLogin=*/true);
    run();
    EXPECT_TRUE(state.IssaArray[1].Success) << state.IssaArray[1].ErrorMsg.toStdString();
    EXPECT_FLOAT_EQ(state.IssaArray[1].Balance, 33.0f);
    EXPECT_EQ(emu.stats().value(QStringLiteral("form-pages")), 1);
    // The login form page and the account page.
    EXPECT_EQ(state.IssaArray[1].LoadedPages.size(), 2);
}

TEST_F(EngineTest, EachPhoneStartsWithoutTheSessionOfTheOneBefore)
{
    // The second phone's password is wrong: with the first phone's session
    // cookie still in the jar it would still not see the first phone's page.
    EmulatorPhone a = phone(QStringLiteral("9160000001"), QStringLiteral("redirect"), 10);
    EmulatorPhone b = phone(QStringLiteral("9160000002"), QStringLiteral("ok"), 20);
    startWith({a, b});
    b.password = QStringLiteral("000");
    setPhone(2, b);
    run();
    EXPECT_TRUE(state.IssaArray[1].Success);
    EXPECT_FALSE(state.IssaArray[2].Success);
    EXPECT_EQ(state.IssaArray[2].ErrorMsg, QStringLiteral("Ошибка аутентификации"));
}

TEST_F(EngineTest, DebugSwitchSavesEveryPage)
{
    state.IniFile.WriteBool(QStringLiteral("Debug"), QStringLiteral("SaveLogFiles"), true);
    startWith({phone(QStringLiteral("9160000001"), QStringLiteral("ok"), 1)});
    run();
    const QStringList saved = QDir(home.dir()).entryList({QStringLiteral("\?\?-\?\?-\?\?_\?\?-\?\?-\?\?-\?\?\?.html")});
    ASSERT_EQ(saved.size(), 1);
    const QByteArray bytes = ReadFileBytes(home.file(saved.first()));
    EXPECT_TRUE(bytes.startsWith("<!-- http://127.0.0.1:"));
    EXPECT_TRUE(bytes.contains("\r\n"));
}

TEST_F(EngineTest, TlsWithATrustedAndAnUntrustedCertificate)
{
    QString cert, key, error;
    ASSERT_TRUE(MakeTestCertificate(home.dir(), QStringLiteral("issa"), &cert, &key, &error)) << error.toStdString();
    startWith({phone(QStringLiteral("9160000001"), QStringLiteral("ok"), 5)}, false, cert, key);

    run();  // the certificate is nobody's: the phone fails and nothing is sent
    EXPECT_FALSE(state.IssaArray[1].Success);
    EXPECT_EQ(state.IssaArray[1].State, dsError);
    EXPECT_TRUE(state.IssaArray[1].ErrorMsg.contains(QStringLiteral("Сертификат")))
        << state.IssaArray[1].ErrorMsg.toStdString();
    EXPECT_EQ(emu.loginCount(QStringLiteral("9160000001")), 0);

    engine->SetCaCertificates(cert);
    run();
    EXPECT_TRUE(state.IssaArray[1].Success) << state.IssaArray[1].ErrorMsg.toStdString();
    EXPECT_FLOAT_EQ(state.IssaArray[1].Balance, 5.0f);
}
