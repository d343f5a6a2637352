#pragma once
// The browser window of the request engine: the host of the browser's dialogs.
// It is never shown (show() does nothing), so nothing appears on the screen
// and nothing takes the keyboard focus during a run. Every window the
// browser creates on it (the proxy logon, notices) is caught as it is
// created, kept off the screen too (it runs as a dialog but is not mapped),
// and answered 70 ms later: when a proxy user
// name is set, the proxy user name and password are typed into its two edit
// fields; then its affirmative button is clicked. Only the window created last
// is answered when several come within the 70 ms.

#include "BrowserDialogHost.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

struct TProgramState;

class BrowserWindow : public QWidget, public BrowserDialogHost {
    Q_OBJECT
public:
    static constexpr int kDialogsDelayMs = 70;
    static constexpr int kOffScreen = -10000;

    // The stored proxy logon it enters is the state's.
    explicit BrowserWindow(const TProgramState &state, QWidget *parent = nullptr);
    ~BrowserWindow() override;

    // Refuses to show the window; hiding works.
    void setVisible(bool visible) override;

    bool AskProxyLogon(const QNetworkProxy &proxy, QString &user, QString &password) override;

    // The window created on this one last (null when gone).
    QWidget *DialogWnd() const { return dialogWnd_; }
    bool DialogsTimerActive() const { return DialogsTimer.isActive(); }

Q_SIGNALS:
    // A window was created on this one and moved out of sight. It is still
    // being constructed: only its address means anything yet.
    void dialogCaught(QWidget *dialog);
    // The timer answered it; clicked: an affirmative button was found.
    void dialogAnswered(QWidget *dialog, bool clicked);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void DialogsTimerTimer();
    void Catch(QWidget *dialog);

    const TProgramState &state_;
    QPointer<QWidget> dialogWnd_;
    QTimer DialogsTimer;
};
