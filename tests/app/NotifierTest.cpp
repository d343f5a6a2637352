// Desktop notices on a session bus the test starts, without a notification
// service on it (the desktop test has one).
#include "Notifier.h"
#include "EventLoopWait.h"

#include <QProcess>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

// Two alerts of one run that the service does not take come together
// through the fall-back.
TEST(NotifierTest, OneFallbackWithoutTheService)
{
    QProcess bus;  // killed when it goes out of scope
    bus.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address"_s});
    if (!bus.waitForStarted(5000))
        GTEST_SKIP() << "no dbus-daemon";
    ASSERT_TRUE(bus.waitForReadyRead(5000));
    // Before the first use of the session bus in this process.
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.readLine().trimmed());

    Notifier notifier;
    QList<QPair<QString, bool>> told;
    QObject::connect(&notifier, &Notifier::notified,
                     [&](const QString &text, bool desktop) { told << qMakePair(text, desktop); });
    const QStringList texts{u"Домашний: баланс 1.25 (порог 2.50)"_s, u"Дачный: баланс 0.50 (порог 2.50)"_s};
    notifier.Notify(u"Saldomat"_s, texts);
    ASSERT_TRUE(WaitUntil([&] { return !told.isEmpty(); }, 10000));
    Pump(200);
    ASSERT_EQ(told.size(), 1);
    EXPECT_EQ(told[0].first, texts.join(QLatin1Char('\n')));
    EXPECT_FALSE(told[0].second);
}
