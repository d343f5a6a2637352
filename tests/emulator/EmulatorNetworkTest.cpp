// The emulator as a process and a server: start and stop, phones file faults,
// slow, hanging, dropped, looping and oversized answers, HTTPS and counters.

#include "EmulatorTestUtil.h"

#include "TestHome.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

namespace {

// Runs the emulator with args and expects it to end by itself.
struct Finished {
    int code = -1;
    QString err;
};
Finished RunToEnd(const QStringList &args)
{
    QProcess p;
    p.start(BinaryPath(QStringLiteral("issa-emulator")), args);
    Finished f;
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished();
        return f;
    }
    f.code = p.exitCode();
    f.err = QString::fromUtf8(p.readAllStandardError());
    return f;
}

TEST(EmulatorProcessTest, RefusesBadPhonesFilesAndOptions)
{
    QTemporaryDir dir;
    struct Case {
        const char *text;
        const char *expected;
    };
    const Case cases[] = {
        {"[9161234567]\nPassword=x\nBalanse=1\n", "line 3: unknown key: Balanse"},
        {"[9161234567]\nBalance=12.3.4\n", "line 2: not a number: 12.3.4"},
        {"Password=x\n", "line 1: a key before the first [number] section"},
        {"[9161234567]\nBehaviour=sleepy\n", "line 2: unknown behaviour: sleepy"},
        {"[9161234567]\n[916 123 45 67]\n", "line 2: phone 9161234567 appears twice"},
        {"[9161234567]\nSMS=-1\n", "line 2: not a whole number in range: -1"},
    };
    const QString path = dir.filePath(QStringLiteral("phones.ini"));
    for (const Case &c : cases) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(c.text);
        f.close();
        const Finished r = RunToEnd({QStringLiteral("--phones"), path, QStringLiteral("--port"), QStringLiteral("0")});
        EXPECT_EQ(r.code, 1) << c.text;
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.expected))) << r.err.toStdString();
    }
    EXPECT_EQ(RunToEnd({QStringLiteral("--port"), QStringLiteral("0")}).code, 2);
    EXPECT_EQ(RunToEnd({QStringLiteral("--phones"), path, QStringLiteral("--port"), QStringLiteral("70000")}).code, 2);
    const Finished missing = RunToEnd({QStringLiteral("--phones"), dir.filePath(QStringLiteral("none.ini"))});
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("cannot read"))) << missing.err.toStdString();
}

TEST(EmulatorProcessTest, ServesOnTheReportedPortUntilTerminated)
{
    EmulatorProcess emu;
    ASSERT_TRUE(emu.start({FullPhone(QStringLiteral("9161234567"))})) << emu.errorString().toStdString();
    EXPECT_GT(emu.port(), 0);
    // The listening socket is bound to the loopback address only.
    QFile tcp(QStringLiteral("/proc/net/tcp"));
    if (tcp.open(QIODevice::ReadOnly)) {
        const QString portHex = QStringLiteral(":%1").arg(emu.port(), 4, 16, QLatin1Char('0')).toUpper();
        QStringList listening;
        for (const QByteArray &line : tcp.readAll().split('\n')) {
            const QStringList cols = QString::fromLatin1(line).simplified().split(QLatin1Char(' '));
            if (cols.size() > 3 && cols[1].endsWith(portHex) && cols[3] == QStringLiteral("0A"))
                listening << cols[1];
        }
        EXPECT_EQ(listening, QStringList{QStringLiteral("0100007F") + portHex});
    }
    auto client = ClientFor(emu);
    auto res = client->Get("/");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 302);
    EXPECT_EQ(res->get_header_value("Location"), kFormPath);
    res = client->Get("/img/account.gif");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->get_header_value("Content-Type"), "image/gif");
    res = client->Get("/nothing/here");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 404);
    EXPECT_TRUE(emu.log().contains(QStringLiteral("GET /img/account.gif -> 200")));

    // A second emulator on the port in use fails instead of serving nothing.
    EmulatorProcess second;
    EXPECT_FALSE(second.start(emu.phonesFile(), {}, {}, {QStringLiteral("--port"), QString::number(emu.port())}));

    EXPECT_EQ(emu.stop(), 0);
    auto after = httplib::Client("127.0.0.1", 1).Get("/"); // nothing listens on port 1
    EXPECT_FALSE(after);
}

TEST(EmulatorProcessTest, DemoPhonesFileIsValid)
{
    EmulatorProcess emu;
    ASSERT_TRUE(emu.start(TestDataPath(QStringLiteral("../../tools/issa-emulator/demo-phones.ini"))))
        << emu.errorString().toStdString();
    auto res = PostLogin(*ClientFor(emu), QStringLiteral("9161000001"), QStringLiteral("5000001"));
    ASSERT_TRUE(res);
    EXPECT_EQ(LineAfter(PageText(*res), QStringLiteral("Актуальный баланс")), QStringLiteral("245,60 у.е."));
}

TEST(EmulatorProcessTest, CountersAndReloadOfThePhonesFile)
{
    EmulatorProcess emu;
    EmulatorPhone phone = FullPhone(QStringLiteral("9161234567"));
    ASSERT_TRUE(emu.start({phone})) << emu.errorString().toStdString();
    auto client = ClientFor(emu);
    ASSERT_TRUE(PostLogin(*client, phone.number, phone.password));
    ASSERT_TRUE(PostLogin(*client, phone.number, phone.password));
    EXPECT_EQ(emu.loginCount(phone.number), 2);
    EXPECT_EQ(emu.accountCount(phone.number), 2);
    EXPECT_EQ(emu.stats().value(QStringLiteral("requests")), 2); // the counters' own requests do not count
    // The log names the number but never the password.
    EXPECT_TRUE(emu.log().contains(QStringLiteral("login of 9161234567, with a password")));
    EXPECT_FALSE(emu.log().contains(phone.password));

    ASSERT_TRUE(emu.resetStats());
    EXPECT_EQ(emu.loginCount(phone.number), 0);

    phone.balance = 99.5;
    phone.password = QStringLiteral("changed");
    ASSERT_TRUE(emu.setPhones({phone}));
    auto res = PostLogin(*client, phone.number, QStringLiteral("secret"));
    ASSERT_TRUE(res);
    EXPECT_EQ(MarkersIn(PageText(*res)), QStringList{QStringLiteral("Ошибка аутентификации")});
    res = PostLogin(*client, phone.number, QStringLiteral("changed"));
    ASSERT_TRUE(res);
    EXPECT_EQ(LineAfter(PageText(*res), QStringLiteral("Актуальный баланс")), QStringLiteral("99,50 у.е."));
}

class EmulatorBehaviour : public ::testing::Test {
protected:
    void SetUp() override
    {
        EmulatorPhone slow = FullPhone(QStringLiteral("9160000001"), QStringLiteral("slow"));
        slow.delayMs = 400;
        EmulatorPhone hang = FullPhone(QStringLiteral("9160000002"), QStringLiteral("hang"));
        hang.hangMs = 20000;
        ASSERT_TRUE(emu.start({slow, hang, FullPhone(QStringLiteral("9160000003"), QStringLiteral("drop")),
                               FullPhone(QStringLiteral("9160000004"), QStringLiteral("redirect-loop")),
                               FullPhone(QStringLiteral("9160000005"), QStringLiteral("oversized")),
                               FullPhone(QStringLiteral("9160000006"))}))
            << emu.errorString().toStdString();
    }
    bool logSays(const QString &text, int withinMs)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < withinMs) {
            if (emu.log().contains(text))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return emu.log().contains(text);
    }
    EmulatorProcess emu;
};

TEST_F(EmulatorBehaviour, SlowPhoneAnswersAfterItsDelay)
{
    auto client = ClientFor(emu);
    QElapsedTimer t;
    t.start();
    auto res = PostLogin(*client, QStringLiteral("9160000001"), QStringLiteral("secret"));
    ASSERT_TRUE(res);
    EXPECT_GE(t.elapsed(), 400);
    EXPECT_EQ(MarkersIn(PageText(*res)).value(0), QStringLiteral("туальный баланс"));
    // The emulator's own serving time includes the delay, and only as much as
    // the client waited.
    const long serve = emu.stats().value(QStringLiteral("serve-us"));
    EXPECT_GE(serve, 400000);
    EXPECT_LE(serve, t.elapsed() * 1000);
}

TEST_F(EmulatorBehaviour, HangingAnswerEndsWhenTheClientGivesUpOrTheServerStops)
{
    {
        auto client = ClientFor(emu, 1);
        QElapsedTimer t;
        t.start();
        auto res = PostLogin(*client, QStringLiteral("9160000002"), QStringLiteral("secret"));
        EXPECT_FALSE(res);
        EXPECT_EQ(res.error(), httplib::Error::Read);
        EXPECT_GE(t.elapsed(), 900);
    }
    EXPECT_TRUE(logSays(QStringLiteral("hang of 9160000002 ended: the client closed the connection"), 3000))
        << emu.log().toStdString();

    // Other phones are served while one hangs, and a hang does not keep the
    // server from stopping.
    bool hungAnswered = true;
    std::thread waiting([&] {
        auto client = ClientFor(emu, 15);
        hungAnswered = bool(PostLogin(*client, QStringLiteral("9160000002"), QStringLiteral("secret")));
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto other = ClientFor(emu);
    auto res = PostLogin(*other, QStringLiteral("9160000006"), QStringLiteral("secret"));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(emu.stop(), 0);
    EXPECT_LT(t.elapsed(), 4000);
    waiting.join();
    EXPECT_FALSE(hungAnswered);
}

TEST_F(EmulatorBehaviour, DroppedConnectionGivesNoAnswerAndTheServerGoesOn)
{
    auto client = ClientFor(emu);
    auto res = PostLogin(*client, QStringLiteral("9160000003"), QStringLiteral("secret"));
    EXPECT_FALSE(res);
    EXPECT_EQ(res.error(), httplib::Error::Read);
    EXPECT_EQ(emu.loginCount(QStringLiteral("9160000003")), 1);
    // The emulator writes its line once the handler has returned, which may be
    // after the client has seen the connection drop.
    const QString dropped = QStringLiteral("POST /cgi-bin/cgi.exe?function=is_login -> no answer");
    for (int i = 0; i < 250 && !emu.log().contains(dropped); ++i)
        QThread::msleep(20);
    EXPECT_TRUE(emu.log().contains(dropped)) << emu.log().toStdString();
    res = PostLogin(*ClientFor(emu), QStringLiteral("9160000006"), QStringLiteral("secret"));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
}

TEST_F(EmulatorBehaviour, RedirectLoopNeverReachesAPage)
{
    auto client = ClientFor(emu);
    auto res = PostLogin(*client, QStringLiteral("9160000004"), QStringLiteral("secret"));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 302);
    EXPECT_EQ(res->get_header_value("Location"), std::string(kAccountPath) + "&loop=1");
    client->set_follow_location(true);
    res = client->Get((std::string(kAccountPath) + "&loop=1").c_str());
    EXPECT_FALSE(res);
    EXPECT_EQ(res.error(), httplib::Error::ExceedRedirectCount);
    EXPECT_GE(emu.stats().value(QStringLiteral("redirects")), 20);
}

TEST_F(EmulatorBehaviour, OversizedPageHasItsFullSizeAndEndsWithTheAccount)
{
    auto client = ClientFor(emu, 20);
    auto res = PostLogin(*client, QStringLiteral("9160000005"), QStringLiteral("secret"));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->body.size(), size_t(20) * 1024 * 1024);
    EXPECT_EQ(res->get_header_value("Content-Length"), std::to_string(20 * 1024 * 1024));
    const QString page = PageText(*res);
    EXPECT_TRUE(page.endsWith(QStringLiteral("</html>\n")));
    EXPECT_EQ(LineAfter(page.right(20000), QStringLiteral("Актуальный баланс")), QStringLiteral("12,34 у.е."));
}

TEST(EmulatorTls, HttpsServesTrustingClientsAndNeverSeesPasswordsOfOthers)
{
    QTemporaryDir dir;
    QString cert, key, error;
    ASSERT_TRUE(MakeTestCertificate(dir.path(), QStringLiteral("issa"), &cert, &key, &error))
        << error.toStdString();
    EmulatorProcess emu;
    EmulatorPhone phone = FullPhone(QStringLiteral("9161234567"));
    ASSERT_TRUE(emu.start({phone, FullPhone(QStringLiteral("9160000003"), QStringLiteral("drop"))}, cert, key))
        << emu.errorString().toStdString();
    EXPECT_TRUE(emu.baseUrl().startsWith(QStringLiteral("https://127.0.0.1:")));

    {
        // A client that does not trust the certificate fails before it sends anything.
        httplib::SSLClient untrusting("127.0.0.1", emu.port());
        untrusting.enable_server_certificate_verification(true);
        untrusting.set_connection_timeout(5);
        auto res = PostLogin(untrusting, phone.number, phone.password);
        EXPECT_FALSE(res);
        EXPECT_EQ(res.error(), httplib::Error::SSLServerVerification);
    }
    EXPECT_EQ(emu.loginCount(phone.number), 0);

    httplib::SSLClient trusting("127.0.0.1", emu.port());
    trusting.set_ca_cert_path(cert.toStdString().c_str());
    trusting.enable_server_certificate_verification(true);
    auto res = PostLogin(trusting, phone.number, phone.password);
    ASSERT_TRUE(res) << httplib::to_string(res.error());
    EXPECT_EQ(MarkersIn(PageText(*res)), QStringList{QStringLiteral("туальный баланс")});
    EXPECT_EQ(emu.loginCount(phone.number), 1);

    // Dropping works below TLS as well. The client's TLS shutdown then writes
    // to a reset connection: keep that from ending the test program.
    std::signal(SIGPIPE, SIG_IGN);
    auto dropped = PostLogin(trusting, QStringLiteral("9160000003"), QStringLiteral("secret"));
    EXPECT_FALSE(dropped);

    // A plain HTTP client gets no page from the TLS port.
    httplib::Client plain("127.0.0.1", emu.port());
    plain.set_read_timeout(2);
    auto plainRes = plain.Get(kFormPath);
    EXPECT_FALSE(plainRes && plainRes->status == 200);
}

} // namespace
