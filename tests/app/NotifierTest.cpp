// Desktop notices against a notification service of the test's own, on a
// session bus the test starts.
#include "Notifier.h"
#include "EventLoopWait.h"

#include <QDBusConnection>
#include <QProcess>
#include <QVariantMap>
#include <gtest/gtest.h>

namespace {
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList bodies;
public Q_SLOTS:
    uint Notify(const QString &, uint, const QString &, const QString &, const QString &body, const QStringList &,
                const QVariantMap &, int)
    {
        bodies << body;
        return static_cast<uint>(bodies.size());
    }
};

class NotifierTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        bus.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        if (!bus.waitForStarted(5000))
            GTEST_SKIP() << "no dbus-daemon";
        ASSERT_TRUE(bus.waitForReadyRead(5000));
        address = QString::fromUtf8(bus.readLine()).trimmed();
        // Before the first use of the session bus in this process.
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    }
    void TearDown() override
    {
        bus.kill();
        bus.waitForFinished();
    }
    QProcess bus;
    QString address;
};
}  // namespace

// Two alerts of one run stay two notifications; without the service they
// come together through the fall-back.
TEST_F(NotifierTest, OneNotificationPerTextAndOneFallbackWithoutTheService)
{
    Notifier notifier;
    QList<QPair<QString, bool>> told;
    QObject::connect(&notifier, &Notifier::notified,
                     [&](const QString &text, bool desktop) { told << qMakePair(text, desktop); });
    const QStringList texts{QStringLiteral("Домашний: баланс 1.25 (порог 2.50)"),
                            QStringLiteral("Дачный: баланс 0.50 (порог 2.50)")};

    notifier.Notify(QStringLiteral("Saldomat"), texts);
    ASSERT_TRUE(WaitUntil([&] { return !told.isEmpty(); }, 10000));
    Pump(200);
    ASSERT_EQ(told.size(), 1);
    EXPECT_EQ(told[0].first, texts.join(QLatin1Char('\n')));
    EXPECT_FALSE(told[0].second);

    FakeNotifications service;
    QDBusConnection server = QDBusConnection::connectToBus(address, QStringLiteral("notification-server"));
    ASSERT_TRUE(server.isConnected());
    ASSERT_TRUE(server.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                      QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(server.registerService(QStringLiteral("org.freedesktop.Notifications")));
    told.clear();
    notifier.Notify(QStringLiteral("Saldomat"), texts);
    ASSERT_TRUE(WaitUntil([&] { return told.size() == 2; }, 10000));
    EXPECT_EQ(service.bodies, texts);
    EXPECT_TRUE(told[0].second && told[1].second);
    QDBusConnection::disconnectFromBus(QStringLiteral("notification-server"));
}

#include "NotifierTest.moc"
