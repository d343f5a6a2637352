// The emulator's side of the program tests: the counters they read, a phones
// file read again while running, and faults that really happen on the wire
// (else a test of the program against a fault would pass without one).

#include "EmulatorProcess.h"

#include <httplib.h>

#include <QTemporaryDir>
#include <gtest/gtest.h>

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

template <typename Client>
httplib::Result Login(Client &client, const QString &number, const QString &password = QStringLiteral("secret"))
{
    const std::string body = ("Lang=2&mobnum=" + number + "&Password=" + password).toStdString();
    return client.Post("/cgi-bin/cgi.exe?function=is_login", body, "application/x-www-form-urlencoded");
}

TEST(Emulator, CountersReloadAndStop)
{
    EmulatorProcess emu;
    EmulatorPhone phone = Phone(QStringLiteral("9161234567"));
    ASSERT_TRUE(emu.start({phone})) << emu.errorString().toStdString();
    httplib::Client client(emu.baseUrl().toStdString());
    auto res = Login(client, phone.number);
    ASSERT_TRUE(res);
    EXPECT_NE(res->body.find("12,34"), std::string::npos);
    EXPECT_EQ(emu.loginCount(phone.number), 1);
    EXPECT_EQ(emu.accountCount(phone.number), 1);
    EXPECT_FALSE(emu.log().contains(phone.password)) << "the log never shows a password";
    ASSERT_TRUE(emu.resetStats());
    EXPECT_EQ(emu.loginCount(phone.number), 0);

    phone.balance = 99.5;
    ASSERT_TRUE(emu.setPhones({phone}));
    res = Login(client, phone.number);
    ASSERT_TRUE(res);
    EXPECT_NE(res->body.find("99,50"), std::string::npos);

    // A second emulator on the port in use fails instead of serving nothing.
    EmulatorProcess second;
    EXPECT_FALSE(second.start(emu.phonesFile(), {}, {}, {QStringLiteral("--port"), QString::number(emu.port())}));
    EXPECT_EQ(emu.stop(), 0);
    EXPECT_FALSE(Login(client, phone.number));
}

TEST(Emulator, FaultsHappenOnTheWire)
{
    EmulatorProcess emu;
    ASSERT_TRUE(emu.start({Phone(QStringLiteral("9160000001"), QStringLiteral("drop")),
                           Phone(QStringLiteral("9160000002"), QStringLiteral("redirect-loop")),
                           Phone(QStringLiteral("9160000003"), QStringLiteral("oversized")),
                           Phone(QStringLiteral("9160000004"), QStringLiteral("auth-error"))}))
        << emu.errorString().toStdString();
    httplib::Client client(emu.baseUrl().toStdString());
    client.set_read_timeout(20);
    auto res = Login(client, QStringLiteral("9160000001"));
    EXPECT_FALSE(res);
    EXPECT_EQ(emu.loginCount(QStringLiteral("9160000001")), 1);

    client.set_follow_location(true);
    EXPECT_EQ(Login(client, QStringLiteral("9160000002")).error(), httplib::Error::ExceedRedirectCount);
    client.set_follow_location(false);

    res = Login(client, QStringLiteral("9160000003"));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->body.size(), size_t(20) * 1024 * 1024);

    res = Login(client, QStringLiteral("9160000004"));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->body.find("12,34"), std::string::npos) << "a refused login shows no account";
}

TEST(Emulator, HttpsOnlyForClientsThatTrustItsCertificate)
{
    QTemporaryDir dir;
    QString cert, key, error;
    ASSERT_TRUE(MakeTestCertificate(dir.path(), QStringLiteral("issa"), &cert, &key, &error)) << error.toStdString();
    EmulatorProcess emu;
    ASSERT_TRUE(emu.start({Phone(QStringLiteral("9161234567"))}, cert, key)) << emu.errorString().toStdString();
    httplib::SSLClient untrusting("127.0.0.1", emu.port());
    untrusting.enable_server_certificate_verification(true);
    EXPECT_EQ(Login(untrusting, QStringLiteral("9161234567")).error(), httplib::Error::SSLServerVerification);
    EXPECT_EQ(emu.loginCount(QStringLiteral("9161234567")), 0);
    httplib::SSLClient trusting("127.0.0.1", emu.port());
    trusting.set_ca_cert_path(cert.toStdString().c_str());
    trusting.enable_server_certificate_verification(true);
    auto res = Login(trusting, QStringLiteral("9161234567"));
    ASSERT_TRUE(res) << httplib::to_string(res.error());
    EXPECT_NE(res->body.find("12,34"), std::string::npos);
}

}  // namespace
