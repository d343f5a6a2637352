// The emulator against Qt's network stack, the one the program's browser uses:
// cookies across a redirect, redirect bounds, dropped and hanging answers, and
// TLS with a private certificate authority.

#include "EmulatorTestUtil.h"

#include "Encoding.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct QtAnswer {
    QNetworkReply::NetworkError error = QNetworkReply::UnknownNetworkError;
    int status = 0;
    QUrl finalUrl;
    QByteArray contentType;
    QByteArray body;
    bool finished = false;
};

class QtClient {
public:
    QtClient()
    {
        nam.setCookieJar(new QNetworkCookieJar(&nam));
        nam.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    }
    QtAnswer run(QNetworkRequest request, const QByteArray *postBody)
    {
        request.setMaximumRedirectsAllowed(maxRedirects);
        request.setTransferTimeout(transferTimeoutMs);
        if (tls)
            request.setSslConfiguration(*tls);
        QNetworkReply *reply = postBody ? nam.post(request, *postBody) : nam.get(request);
        QEventLoop loop;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
        guard.start(15000);
        loop.exec();
        QtAnswer a;
        a.finished = reply->isFinished();
        if (!a.finished)
            reply->abort();
        a.error = reply->error();
        a.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        a.finalUrl = reply->url();
        a.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
        if (reply->isOpen())
            a.body = reply->readAll();
        reply->deleteLater();
        return a;
    }
    QtAnswer login(const EmulatorProcess &emu, const QString &number, const QString &password)
    {
        QNetworkRequest request(QUrl(emu.loginUrl()));
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArrayLiteral("application/x-www-form-urlencoded"));
        const QByteArray body = QByteArray::fromStdString(LoginBody(number, password, "Password", {}));
        return run(request, &body);
    }

    QNetworkAccessManager nam;
    int maxRedirects = 10;
    int transferTimeoutMs = 0;
    std::optional<QSslConfiguration> tls;
};

class EmulatorQtClient : public ::testing::Test {
protected:
    void SetUp() override
    {
        EmulatorPhone hang = FullPhone(QStringLiteral("9160000005"), QStringLiteral("hang"));
        hang.hangMs = 20000;
        ASSERT_TRUE(emu.start({FullPhone(QStringLiteral("9160000001")),
                               FullPhone(QStringLiteral("9160000002"), QStringLiteral("redirect"), QStringLiteral("sentences")),
                               FullPhone(QStringLiteral("9160000003"), QStringLiteral("redirect-loop")),
                               FullPhone(QStringLiteral("9160000004"), QStringLiteral("drop")), hang}))
            << emu.errorString().toStdString();
    }
    EmulatorProcess emu;
    QtClient client;
};

TEST_F(EmulatorQtClient, LoginAndRedirectWithTheSessionCookie)
{
    QtAnswer a = client.login(emu, QStringLiteral("9160000001"), QStringLiteral("secret"));
    EXPECT_EQ(a.error, QNetworkReply::NoError);
    EXPECT_EQ(a.status, 200);
    EXPECT_EQ(a.contentType, QByteArrayLiteral("text/html; charset=windows-1251"));
    EXPECT_EQ(MarkersIn(FromCp1251(a.body)), QStringList{QStringLiteral("туальный баланс")});

    a = client.login(emu, QStringLiteral("9160000002"), QStringLiteral("secret"));
    EXPECT_EQ(a.error, QNetworkReply::NoError);
    EXPECT_EQ(a.status, 200);
    EXPECT_EQ(a.finalUrl.toString(), emu.baseUrl() + QString::fromLatin1(kAccountPath));
    EXPECT_EQ(MarkersIn(FromCp1251(a.body)), QStringList{QStringLiteral("туальный баланс")});
    EXPECT_EQ(emu.accountCount(QStringLiteral("9160000002")), 1);
}

TEST_F(EmulatorQtClient, FailuresReachTheClientAsNetworkErrors)
{
    QtAnswer a = client.login(emu, QStringLiteral("9160000003"), QStringLiteral("secret"));
    EXPECT_TRUE(a.finished);
    EXPECT_EQ(a.error, QNetworkReply::TooManyRedirectsError);
    // The login's redirect, then the ones the client follows before its bound
    // ends the loop (Qt 6.4 asks for every address of the loop twice).
    const long redirects = emu.stats().value(QStringLiteral("redirects"));
    EXPECT_GE(redirects, 11);
    EXPECT_LE(redirects, 2 * 11 + 2) << emu.log().toStdString();

    a = client.login(emu, QStringLiteral("9160000004"), QStringLiteral("secret"));
    EXPECT_TRUE(a.finished);
    EXPECT_NE(a.error, QNetworkReply::NoError);
    EXPECT_TRUE(a.body.isEmpty());

    client.transferTimeoutMs = 500;
    a = client.login(emu, QStringLiteral("9160000005"), QStringLiteral("secret"));
    EXPECT_TRUE(a.finished);
    EXPECT_EQ(a.error, QNetworkReply::OperationCanceledError);
}

TEST(EmulatorQtTls, PrivateAuthorityIsTrustedOnlyWhenGiven)
{
    QTemporaryDir dir;
    QString cert, key, error;
    ASSERT_TRUE(MakeTestCertificate(dir.path(), QStringLiteral("issa"), &cert, &key, &error))
        << error.toStdString();
    EmulatorProcess emu;
    ASSERT_TRUE(emu.start({FullPhone(QStringLiteral("9161234567"))}, cert, key))
        << emu.errorString().toStdString();

    QtClient untrusting;
    QtAnswer a = untrusting.login(emu, QStringLiteral("9161234567"), QStringLiteral("secret"));
    EXPECT_EQ(a.error, QNetworkReply::SslHandshakeFailedError);
    EXPECT_EQ(emu.loginCount(QStringLiteral("9161234567")), 0);

    QtClient trusting;
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.addCaCertificates(QSslCertificate::fromPath(cert));
    trusting.tls = config;
    a = trusting.login(emu, QStringLiteral("9161234567"), QStringLiteral("secret"));
    EXPECT_EQ(a.error, QNetworkReply::NoError);
    EXPECT_EQ(MarkersIn(FromCp1251(a.body)), QStringList{QStringLiteral("туальный баланс")});
    EXPECT_EQ(emu.loginCount(QStringLiteral("9161234567")), 1);
}

} // namespace
