// The emulator's side of the program tests: the counters they read, a phones
// file read again while running, and faults that really happen on the wire
// (else a test of the program against a fault would pass without one).

#include "EmulatorProcess.h"

#include <gtest/gtest.h>
#include <httplib.h>

namespace {

EmulatorPhone Phone(const QString &number, const QString &behaviour = QStringLiteral("ok"))
{
    EmulatorPhone p;
    p.number = number;
    p.password = QStringLiteral("secret");
    p.balance = 12.34;
    p.behaviour = behaviour;
    return p;
}

// The login POST; its answer's body, or "failed: " and the error.
template <typename Client> std::string Login(Client &client, const QString &number)
{
    const httplib::Result res
        = client.Post("/cgi-bin/cgi.exe?function=is_login", ("Lang=2&Password=secret&mobnum=" + number).toStdString(),
                      "application/x-www-form-urlencoded");
    return res ? res->body : "failed: " + httplib::to_string(res.error());
}

bool Shows(const std::string &page, const char *balance)
{
    return page.find(balance) != std::string::npos;
}

TEST(Emulator, FaultsOnTheWireCountersReloadAndStop)
{
    EmulatorProcess emu;
    EmulatorPhone phone = Phone("9161234567");
    const QList<EmulatorPhone> faults{Phone("9160000001", "drop"), Phone("9160000002", "oversized"),
                                      Phone("9160000003", "auth-error"), Phone("9160000004", "redirect-loop")};
    ASSERT_TRUE(emu.start(faults + QList{phone})) << emu.errorString().toStdString();
    httplib::Client client(emu.baseUrl().toStdString());
    client.set_read_timeout(20);
    EXPECT_EQ(Login(client, "9160000001").rfind("failed: ", 0), 0u);
    EXPECT_EQ(emu.loginCount("9160000001"), 1);
    EXPECT_EQ(Login(client, "9160000002").size(), size_t(20) << 20);
    EXPECT_FALSE(Shows(Login(client, "9160000003"), "12,34")) << "a refused login shows no account";
    client.set_follow_location(true);
    EXPECT_EQ(Login(client, "9160000004"), "failed: " + httplib::to_string(httplib::Error::ExceedRedirectCount));
    client.set_follow_location(false);

    EXPECT_TRUE(Shows(Login(client, phone.number), "12,34"));
    EXPECT_EQ(emu.loginCount(phone.number), 1);
    EXPECT_EQ(emu.accountCount(phone.number), 1);
    EXPECT_FALSE(emu.log().contains(phone.password)) << "the log never shows a password";
    ASSERT_TRUE(emu.resetStats());
    EXPECT_EQ(emu.loginCount(phone.number), 0);
    phone.balance = 99.5;
    ASSERT_TRUE(emu.setPhones({phone}));
    EXPECT_TRUE(Shows(Login(client, phone.number), "99,50"));

    // A second emulator on the port in use fails instead of serving nothing.
    EmulatorProcess second;
    EXPECT_FALSE(second.start({phone}, {}, {}, {"--port", QString::number(emu.port())}));
    EXPECT_EQ(emu.stop(), 0);
    EXPECT_EQ(Login(client, phone.number).rfind("failed: ", 0), 0u);
}

TEST(Emulator, HttpsOnlyForClientsThatTrustItsCertificate)
{
    QTemporaryDir dir;
    QString cert, key, error;
    ASSERT_TRUE(MakeTestCertificate(dir.path(), "issa", &cert, &key, &error)) << error.toStdString();
    EmulatorProcess emu;
    ASSERT_TRUE(emu.start({Phone("9161234567")}, cert, key)) << emu.errorString().toStdString();
    httplib::SSLClient untrusting("127.0.0.1", emu.port()), trusting("127.0.0.1", emu.port());
    untrusting.enable_server_certificate_verification(true);
    EXPECT_EQ(Login(untrusting, "9161234567"), "failed: " + httplib::to_string(httplib::Error::SSLServerVerification));
    EXPECT_EQ(emu.loginCount("9161234567"), 0);
    trusting.set_ca_cert_path(cert.toStdString().c_str());
    trusting.enable_server_certificate_verification(true);
    EXPECT_TRUE(Shows(Login(trusting, "9161234567"), "12,34"));
}

}  // namespace
