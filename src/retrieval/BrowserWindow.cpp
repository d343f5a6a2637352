#include "BrowserWindow.h"

#include "Common.h"
#include "DialogClickYes.h"
#include "Failure.h"
#include "ProxyLogonDialog.h"
#include "SettingsFile.h"

#include <QChildEvent>
#include <QNetworkProxy>

BrowserWindow::BrowserWindow(const TProgramState &state, QWidget *parent) : QWidget(parent, Qt::Tool), state_(state)
{
    setObjectName(QStringLiteral("frmWB"));
    setWindowTitle(QStringLiteral("Saldomat: запрос баланса"));
    resize(640, 480);
    DialogsTimer.setSingleShot(true);
    DialogsTimer.setTimerType(Qt::PreciseTimer);
    DialogsTimer.setInterval(kDialogsDelayMs);
    connect(&DialogsTimer, &QTimer::timeout, this,
            [this] { runHandler(ROUTINE("DialogsTimerTimer"), [&] { DialogsTimerTimer(); }); });
    // Sees every window created on this one before it is shown.
    installEventFilter(this);
}

BrowserWindow::~BrowserWindow()
{
    removeEventFilter(this);
    DialogsTimer.stop();
}

void BrowserWindow::setVisible(bool visible)
{
    // Never mapped: a shown window, even off the screen, is managed by the
    // window manager, takes the keyboard focus and closes an open tray menu.
    // The dialogs created on it are windows of their own and show without it.
    if (!visible)
        QWidget::setVisible(false);
}

bool BrowserWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == this) {
        if (event->type() == QEvent::ChildAdded) {
            QObject *child = static_cast<QChildEvent *>(event)->child();
            // Only windows of their own (dialogs), not widgets inside this one.
            if (child->isWidgetType() && (static_cast<QWidget *>(child)->windowFlags() & Qt::Window))
                Catch(static_cast<QWidget *>(child));
        }
    } else if (event->type() == QEvent::Polish || event->type() == QEvent::Show) {
        // A dialog may place itself when it is shown: keep it out of sight.
        auto *dialog = qobject_cast<QWidget *>(watched);
        if (dialog && dialog->isWindow() && dialog->pos() != QPoint(kOffScreen, kOffScreen))
            dialog->move(kOffScreen, kOffScreen);
    }
    return QWidget::eventFilter(watched, event);
}

void BrowserWindow::Catch(QWidget *dialog)
{
    // Answered by the program 70 ms later: it runs as a dialog (modal, with
    // its fields and buttons) but is never mapped, so no window flashes up
    // and the keyboard focus stays where the user left it.
    dialog->setAttribute(Qt::WA_DontShowOnScreen);
    dialog->move(kOffScreen, kOffScreen);
    dialog->installEventFilter(this);
    dialogWnd_ = dialog;
    // Started by the first of several windows: the timer then answers the
    // last one created before it fires.
    if (!DialogsTimer.isActive())
        DialogsTimer.start();
    Q_EMIT dialogCaught(dialog);
}

void BrowserWindow::DialogsTimerTimer()
{
    DialogsTimer.stop();
    QWidget *dialog = dialogWnd_;
    if (!dialog)
        return;
    // Unreadable credentials are logged; the dialog is still confirmed, so the
    // request ends with its error instead of waiting for the time limit.
    try {
        const QString user = GetProxyUserName(state_);
        if (!user.isEmpty())
            EnterProxyAuth(dialog, user, GetProxyPassword(state_));
    } catch (const std::exception &e) {
        MainException(THIS_ROUTINE, e);
    }
    const bool clicked = ClickYesToDialog(dialog);
    Q_EMIT dialogAnswered(dialog, clicked);
}

bool BrowserWindow::AskProxyLogon(const QNetworkProxy &proxy, QString &user, QString &password)
{
    ProxyLogonDialog dialog(QStringLiteral("%1:%2").arg(proxy.hostName()).arg(proxy.port()), this);
    const bool confirmed = dialog.exec() == QDialog::Accepted;
    user = dialog.UserName();
    password = dialog.Password();
    return confirmed;
}
