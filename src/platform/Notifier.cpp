#include "Notifier.h"

#include "DesktopNotice.h"

#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QMessageBox>
#include <QSystemTrayIcon>

#include <memory>

namespace {
// Answers still to come for one call of Notify, and the texts the service
// did not take.
struct Pending {
    int left = 0;
    QStringList failed;
};
}  // namespace

void Notifier::showWindow(const QString &title, const QString &text, QMessageBox::Icon icon)
{
    // A top-level window of its own (no parent to hide behind); the user
    // closes it, or the program's end does.
    auto *box = new QMessageBox(icon, title, text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
    windows_.removeAll(nullptr);
    windows_.append(box);
}

Notifier::Notifier(QObject *parent) : QObject(parent) { }

Notifier::~Notifier()
{
    for (const QPointer<QMessageBox> &box : std::as_const(windows_))
        delete box.data();
}

void Notifier::SetTray(QSystemTrayIcon *tray)
{
    tray_ = tray;
}

void Notifier::Notify(const QString &title, const QStringList &texts, Urgency urgency)
{
    if (texts.isEmpty())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        fallback(title, texts, urgency);
        return;
    }
    auto pending = std::make_shared<Pending>();
    pending->left = static_cast<int>(texts.size());
    for (const QString &text : texts) {
        const QDBusMessage call = DesktopNoticeCall(title, text, urgency == Urgency::Critical);
        auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, pending, title, text, urgency] {
            watcher->deleteLater();
            if (watcher->isError())
                pending->failed.append(text);
            else
                Q_EMIT notified(text, true);
            if (--pending->left == 0 && !pending->failed.isEmpty())
                fallback(title, pending->failed, urgency);
        });
    }
}

void Notifier::fallback(const QString &title, const QStringList &texts, Urgency urgency)
{
    const QString text = texts.join(QLatin1Char('\n'));
    if (tray_ && tray_->isVisible())
        tray_->showMessage(title, text,
                           urgency == Urgency::Critical ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information);
    else
        showWindow(title, text, urgency == Urgency::Critical ? QMessageBox::Warning : QMessageBox::Information);
    Q_EMIT notified(text, false);
}

void Notifier::ShowProblem(const QString &title, const QString &text)
{
    showWindow(title, text, QMessageBox::Warning);
    Q_EMIT problemShown(text);
}
