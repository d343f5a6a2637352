// Request runs against the emulator through a proxy that asks for a logon (tinyproxy with basic
// authentication), the browser window answering or headless; a plain HTTP login asks nothing.
#include "Browser.h"
#include "BrowserWindow.h"
#include "EmulatorFixture.h"
#include "ProxyLogonDialog.h"
#include "SettingsFile.h"
#include "TinyProxy.h"

#include <QNetworkProxy>

namespace {
const QString kNumber1 = QStringLiteral("9161110001"), kNumber2 = QStringLiteral("9161110002");

// A proxy that answers every request with 407 and a request for basic
// authentication, counting requests and those that offered a logon.
struct RefusingProxy : QTcpServer {
    RefusingProxy()
    {
        listen(QHostAddress::LocalHost, 0);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    const QByteArray head = (socket->property("head").toByteArray() + socket->readAll()).toLower();
                    socket->setProperty("head", head.contains("\r\n\r\n") ? QByteArray() : head);
                    if (!head.contains("\r\n\r\n"))
                        return;
                    ++requests;
                    withLogon += head.contains("\r\nproxy-authorization:");
                    socket->write("HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic "
                                  "realm=\"test\"\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                    socket->disconnectFromHost();
                });
            }
        });
    }
    int requests = 0, withLogon = 0;
};

class ProxyLogonTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        engine->SetTimeOutMs(20000);
        // Counted when answered: by then each dialog is fully built.
        QObject::connect(&window, &BrowserWindow::dialogAnswered, [this](QWidget *dialog, bool clicked) {
            ++(qobject_cast<ProxyLogonDialog *>(dialog) && clicked ? logons : others);
        });
    }
    void TearDown() override { engine->SetDialogHost(nullptr); }
    void expectFailed(int slot, const QString &error)
    {
        EXPECT_EQ(state.IssaArray[slot].State, dsError);
        EXPECT_TRUE(state.IssaArray[slot].ErrorMsg.contains(error)) << state.IssaArray[slot].ErrorMsg.toStdString();
    }

    BrowserWindow window{state};
    int logons = 0, others = 0;
};
}  // namespace

TEST_F(ProxyLogonTest, TheLogonPromptGetsTheStoredCredentialsOnceAPhone)
{
    if (!TinyProxy::Installed())
        GTEST_SKIP() << "tinyproxy is not installed";
    startWith({phone(kNumber1, QStringLiteral("ok"), 12.5), phone(kNumber2, QStringLiteral("redirect"), 3)});
    TinyProxy proxy;
    const int port = proxy.Start("saldo", "m4t");
    ASSERT_GT(port, 0);
    RefusingProxy refusing;  // asks again after the logon
    // Each phone starts a fresh session: one logon each, the second phone's
    // logon is not taken for a refusal of the first one's, and a refused one
    // is not offered again. Headless, the engine gives the stored credentials.
    const struct {
        const char *user, *password;
        bool headless, refusing;
        QString error;
    } rows[] = {{"saldo", "m4t", false, false, {}},
                {"saldo", "wrong", false, false, QStringLiteral("127.0.0.1:%1 не принял имя и пароль").arg(port)},
                {"", "", false, false, QStringLiteral("требует имя и пароль, а они не заданы")},
                {"saldo", "m4t", false, true, QStringLiteral("не принял имя и пароль")},
                {"saldo", "m4t", true, false, {}},
                {"saldo", "bad", true, false, QStringLiteral("не принял имя и пароль")},
                {"", "", true, false, QStringLiteral("не заданы")}};
    for (const auto &r : rows) {
        SCOPED_TRACE(std::string(r.password) + (r.headless ? " headless" : "") + (r.refusing ? " refusing" : ""));
        engine->Browser().SetProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"),
                                                 r.refusing ? refusing.serverPort() : quint16(port)));
        engine->SetDialogHost(r.headless ? nullptr : &window);
        SetProxyCredentials(state, QString::fromLatin1(r.user), QString::fromLatin1(r.password));
        logons = others = 0;
        const int logins = emu.loginCount(kNumber1) + emu.loginCount(kNumber2);
        run();
        for (int slot : {1, 2})
            if (r.error.isEmpty())
                EXPECT_TRUE(state.IssaArray[slot].Success && state.IssaArray[slot].Balance == (slot == 1 ? 12.5 : 3))
                    << state.IssaArray[slot].ErrorMsg.toStdString();
            else
                expectFailed(slot, r.error);
        EXPECT_EQ(emu.loginCount(kNumber1) + emu.loginCount(kNumber2) - logins, r.error.isEmpty() ? 2 : 0);
        EXPECT_EQ(logons, r.headless ? 0 : 2);
        EXPECT_EQ(others, 0);  // the login body goes over plain HTTP to this computer: no notice
        EXPECT_FALSE(window.isVisible());  // the engine never shows it
    }
    EXPECT_TRUE(refusing.withLogon == 2 && refusing.requests <= 4);
}

TEST_F(ProxyLogonTest, PlainHttpAsksNothingAndGoesOnlyToThisComputerOrATickedRegion)
{
    startWith({phone(kNumber1, QStringLiteral("ok"), 4)}, true);
    engine->SetDialogHost(&window);
    run();
    EXPECT_TRUE(state.IssaArray[1].Success) << state.IssaArray[1].ErrorMsg.toStdString();
    // An address elsewhere over plain HTTP: the phone fails before anything
    // is sent (the address is never contacted), form and POST login alike.
    for (const char *url : {"http://issa.korvet-mobile.example/cgi-bin/cgi.exe?function=is_newlog",
                            "http://192.0.2.1/cgi-bin/cgi.exe?function=is_login"}) {
        state.ServersIni.WriteString(QStringLiteral("Эмулятор"), QStringLiteral("LoginURL"), QString::fromLatin1(url));
        run();
        expectFailed(1, QStringLiteral("Разрешить вход без шифрования"));
    }
    EXPECT_EQ(logons + others, 0) << "no dialog for a plain login";
    // The region's tick allows it.
    state.ServersIni.WriteBool(QStringLiteral("Эмулятор"), QString::fromLatin1(AllowPlainHttpKey), true);
    EXPECT_TRUE(TfrmWB::PlainLoginAllowed(GetIssaUrlByShortName(state.ServersIni, kRegion)));
}
