#include "DesktopNotice.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QVariantMap>

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
}  // namespace

QDBusMessage DesktopNoticeCall(const QString &title, const QString &text, bool critical)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(critical ? 2 : 1));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("saldomat"));
    call << QStringLiteral("Saldomat") << 0u << QStringLiteral("dialog-warning") << title << text << QStringList()
         << hints << -1;
    return call;
}

bool DesktopNoticeServiceRunning()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(kService);
}
