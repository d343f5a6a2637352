// Request runs through a proxy that asks for a logon (tinyproxy with basic
// authentication on 127.0.0.1) against the emulator, with the browser window
// answering the logon prompt and the plain-HTTP notice, and headless.
#include "Browser.h"
#include "BrowserWindow.h"
#include "DialogTestSupport.h"
#include "EmulatorFixture.h"
#include "IniFile.h"
#include "PhoneTable.h"
#include "ProxyLogonDialog.h"
#include "SettingsFile.h"

#include <QMessageBox>
#include <QNetworkProxy>

namespace {

class ProxyLogonTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        engine->SetTimeOutMs(20000);
        engine->SetDialogHost(&window);
        // Counted when answered: by then each dialog is fully built.
        QObject::connect(&window, &BrowserWindow::dialogAnswered, [this](QWidget *dialog, bool clicked) {
            if (qobject_cast<ProxyLogonDialog *>(dialog))
                ++logons;
            else if (qobject_cast<QMessageBox *>(dialog))
                ++notices;
            else
                ++others;
            clicked ? ++confirmed : ++unanswered;
        });
        QObject::connect(&window, &BrowserWindow::dialogCaught, [this](QWidget *) { ++caught; });
    }
    void TearDown() override { engine->SetDialogHost(nullptr); }

    // The emulator with these phones, reached through a proxy that wants
    // saldo / m4t.
    void startBehindProxy(const QList<EmulatorPhone> &phones)
    {
        if (!TinyProxy::Installed())
            GTEST_SKIP() << "tinyproxy is not installed";
        startWith(phones);
        const int port = proxy.Start("saldo", "m4t");
        ASSERT_GT(port, 0);
        engine->Browser().SetProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), quint16(port)));
    }

    BrowserWindow window{state};
    TinyProxy proxy;
    int logons = 0, notices = 0, others = 0, confirmed = 0, unanswered = 0, caught = 0;
};

const QString kNumber1 = QStringLiteral("9161110001");
const QString kNumber2 = QStringLiteral("9161110002");

}  // namespace

TEST_F(ProxyLogonTest, RightCredentialsTypedIntoTheLogonPrompt)
{
    startBehindProxy({phone(kNumber1, QStringLiteral("ok"), 12.5), phone(kNumber2, QStringLiteral("redirect"), 3)});
    SetProxyCredentials(state, QStringLiteral("saldo"), QStringLiteral("m4t"));
    run();

    EXPECT_TRUE(state.IssaArray[1].Success) << state.IssaArray[1].ErrorMsg.toStdString();
    EXPECT_DOUBLE_EQ(state.IssaArray[1].Balance, 12.5);
    EXPECT_TRUE(state.IssaArray[2].Success) << state.IssaArray[2].ErrorMsg.toStdString();
    EXPECT_DOUBLE_EQ(state.IssaArray[2].Balance, 3);
    EXPECT_EQ(emu.loginCount(kNumber1), 1);
    EXPECT_EQ(emu.loginCount(kNumber2), 1);
    // Each phone starts a fresh session: one logon each, the second phone's
    // logon is not taken for a refusal of the first one's.
    EXPECT_EQ(logons, 2);
    // The login body goes over plain HTTP to this computer: no notice.
    EXPECT_EQ(notices, 0);
    EXPECT_EQ(others, 0);
    EXPECT_EQ(confirmed, 2);
    EXPECT_EQ(unanswered, 0);
    // The engine never shows the browser window.
    EXPECT_FALSE(window.isVisible());
}

TEST_F(ProxyLogonTest, RefusedCredentialsFailThePhoneAfterOnePrompt)
{
    startBehindProxy({phone(kNumber1), phone(kNumber2)});
    SetProxyCredentials(state, QStringLiteral("saldo"), QStringLiteral("wrong"));
    run();

    for (int slot : {1, 2}) {
        const TIssa &issa = state.IssaArray[slot];
        EXPECT_FALSE(issa.Success);
        EXPECT_EQ(issa.State, dsError);
        EXPECT_TRUE(issa.ErrorMsg.contains(QStringLiteral("не принял имя и пароль"))) << issa.ErrorMsg.toStdString();
        EXPECT_TRUE(issa.ErrorMsg.contains(QStringLiteral("127.0.0.1:%1").arg(proxy.port())));
    }
    EXPECT_EQ(logons, 2) << "one prompt a phone, never asked again";
    EXPECT_EQ(emu.loginCount(kNumber1), 0);
    EXPECT_EQ(emu.loginCount(kNumber2), 0);
}

TEST_F(ProxyLogonTest, ProxyAskingAgainAfterTheLogonIsNotAnsweredAgain)
{
    // A proxy that answers 407 to every request, logon or not.
    startWith({phone(kNumber1), phone(kNumber2)});
    RefusingProxy refusing;
    engine->Browser().SetProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), quint16(refusing.port())));
    SetProxyCredentials(state, QStringLiteral("saldo"), QStringLiteral("m4t"));
    run();

    for (int slot : {1, 2}) {
        EXPECT_EQ(state.IssaArray[slot].State, dsError);
        EXPECT_TRUE(state.IssaArray[slot].ErrorMsg.contains(QStringLiteral("не принял имя и пароль")))
            << state.IssaArray[slot].ErrorMsg.toStdString();
    }
    EXPECT_EQ(logons, 2);
    // Each phone offered its logon once and stopped there.
    EXPECT_EQ(refusing.withLogon, 2);
    EXPECT_LE(refusing.requests, 4);
}

TEST_F(ProxyLogonTest, WithoutCredentialsThePromptIsOnlyConfirmed)
{
    startBehindProxy({phone(kNumber1)});
    run();

    const TIssa &issa = state.IssaArray[1];
    EXPECT_FALSE(issa.Success);
    EXPECT_EQ(issa.State, dsError);
    EXPECT_TRUE(issa.ErrorMsg.contains(QStringLiteral("требует имя и пароль, а они не заданы")))
        << issa.ErrorMsg.toStdString();
    EXPECT_EQ(logons, 1);
    EXPECT_GE(confirmed, 1);
    EXPECT_EQ(emu.loginCount(kNumber1), 0);
}

TEST_F(ProxyLogonTest, HeadlessEngineGivesTheStoredCredentials)
{
    startBehindProxy({phone(kNumber1, QStringLiteral("ok"), 7.25)});
    engine->SetDialogHost(nullptr);
    SetProxyCredentials(state, QStringLiteral("saldo"), QStringLiteral("m4t"));
    run();
    EXPECT_TRUE(state.IssaArray[1].Success) << state.IssaArray[1].ErrorMsg.toStdString();
    EXPECT_DOUBLE_EQ(state.IssaArray[1].Balance, 7.25);

    SetProxyCredentials(state, QStringLiteral("saldo"), QStringLiteral("bad"));
    run();
    EXPECT_FALSE(state.IssaArray[1].Success);
    EXPECT_TRUE(state.IssaArray[1].ErrorMsg.contains(QStringLiteral("не принял имя и пароль")))
        << state.IssaArray[1].ErrorMsg.toStdString();

    SetProxyCredentials(state, QString(), QString());
    run();
    EXPECT_TRUE(state.IssaArray[1].ErrorMsg.contains(QStringLiteral("не заданы")))
        << state.IssaArray[1].ErrorMsg.toStdString();
    EXPECT_EQ(logons + notices + others, 0);
    EXPECT_EQ(emu.loginCount(kNumber1), 1);
}

TEST_F(ProxyLogonTest, PlainHttpAskesNothingAndGoesOnlyToThisComputerOrATickedRegion)
{
    startWith({phone(kNumber1, QStringLiteral("ok"), 4)}, true);
    run();
    EXPECT_TRUE(state.IssaArray[1].Success) << state.IssaArray[1].ErrorMsg.toStdString();
    EXPECT_EQ(notices + others + caught, 0) << "no dialog for a plain login on this computer";

    // An address elsewhere over plain HTTP: the phone fails before anything
    // is sent (the address is never contacted), form and POST login alike.
    for (const QString &url : {QStringLiteral("http://issa.korvet-mobile.example/cgi-bin/cgi.exe?function=is_newlog"),
                               QStringLiteral("http://192.0.2.1/cgi-bin/cgi.exe?function=is_login")}) {
        state.ServersIni.WriteString(QStringLiteral("Эмулятор"), QStringLiteral("LoginURL"), url);
        run();
        const TIssa &issa = state.IssaArray[1];
        EXPECT_FALSE(issa.Success);
        EXPECT_TRUE(issa.ErrorMsg.contains(QStringLiteral("Разрешить вход без шифрования")))
            << issa.ErrorMsg.toStdString();
    }
    EXPECT_EQ(notices + others + caught, 0);
    // The region's tick allows it.
    state.ServersIni.WriteBool(QStringLiteral("Эмулятор"), QString::fromLatin1(AllowPlainHttpKey), true);
    EXPECT_TRUE(TfrmWB::PlainLoginAllowed(GetIssaUrlByShortName(state.ServersIni, kRegion)));
}

TEST_F(ProxyLogonTest, CertificateErrorRaisesNoDialogAndTlsNoNotice)
{
    QString cert, key, error;
    ASSERT_TRUE(MakeTestCertificate(home.dir(), QStringLiteral("issa"), &cert, &key, &error)) << error.toStdString();
    startWith({phone(kNumber1)}, false, cert, key);
    run();
    const TIssa &issa = state.IssaArray[1];
    EXPECT_FALSE(issa.Success);
    EXPECT_EQ(issa.State, dsError);
    EXPECT_TRUE(issa.ErrorMsg.contains(QStringLiteral("Сертификат"))) << issa.ErrorMsg.toStdString();
    EXPECT_EQ(caught, 0);
    EXPECT_EQ(emu.loginCount(kNumber1), 0);

    // Trusted, the password goes over TLS without any notice.
    engine->SetCaCertificates(cert);
    run();
    EXPECT_TRUE(state.IssaArray[1].Success) << state.IssaArray[1].ErrorMsg.toStdString();
    EXPECT_EQ(caught, 0);
    EXPECT_EQ(emu.loginCount(kNumber1), 1);
}
