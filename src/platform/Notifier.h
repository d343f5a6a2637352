#pragma once
// Notices for the user on the desktop. A notice goes to the desktop's
// notification service (org.freedesktop.Notifications on the session bus),
// one notification per text, so that two alerts of one run stay two alerts.
// When the service does not answer, the texts go together into one tray
// balloon (a balloon replaces the one before it), and without a tray into a
// small window. Problems the user has to act on come in a window that does
// not wait for an answer.

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>

class QSystemTrayIcon;

class Notifier : public QObject {
    Q_OBJECT
public:
    enum class Urgency { Normal, Critical };

    explicit Notifier(QObject *parent = nullptr);
    ~Notifier() override;

    // The tray icon for the fallback balloon; null when there is none.
    void SetTray(QSystemTrayIcon *tray);

    // Sends the texts; nothing when the list is empty. Returns at once: the
    // service's answer, or the fallback, comes later.
    void Notify(const QString &title, const QStringList &texts, Urgency urgency = Urgency::Normal);
    // A window that names the title and the text, shown without waiting.
    void ShowProblem(const QString &title, const QString &text);

Q_SIGNALS:
    // A text reached the user: through the notification service (desktop
    // true), or, joined with the others of its call, through the fallback.
    void notified(const QString &text, bool desktop);
    void problemShown(const QString &text);

private:
    void fallback(const QString &title, const QStringList &texts, Urgency urgency);
    void showWindow(const QString &title, const QString &text, QMessageBox::Icon icon);

    QPointer<QSystemTrayIcon> tray_;
    // The windows shown and not closed yet: closed with the notifier.
    QList<QPointer<QMessageBox>> windows_;
};
