// The browser window catches the windows created on it, moves them out of
// sight and answers them 70 ms later.
#include "BrowserWindow.h"
#include "EventLoopWait.h"
#include "ProgramState.h"
#include "SettingsFile.h"
#include "TestHome.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QNetworkProxy>
#include <QPushButton>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {
// Out of sight: where the window was moved to (a platform may add its frame).
bool OffScreen(const QWidget *w)
{
    return w->x() <= BrowserWindow::kOffScreen + 50 && w->y() <= BrowserWindow::kOffScreen + 50;
}

// A dialog with two edit fields holding "x" and "y", and "OK".
struct TwoFieldDialog : QDialog {
    explicit TwoFieldDialog(QWidget *parent) : QDialog(parent)
    {
        auto *layout = new QVBoxLayout(this);
        for (QWidget *w : {static_cast<QWidget *>(a), static_cast<QWidget *>(b), static_cast<QWidget *>(ok)})
            layout->addWidget(w);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    }
    QString texts() const { return a->text() + b->text(); }
    QLineEdit *a = new QLineEdit(QStringLiteral("x"), this), *b = new QLineEdit(QStringLiteral("y"), this);
    QPushButton *ok = new QPushButton(QStringLiteral("OK"), this);
};
}  // namespace

TEST(BrowserWindowTest, ProxyLogonAnsweredWithTheStoredCredentialsOrOnlyConfirmed)
{
    TestHome home;
    TProgramState state{InitPaths()};
    // A password alone is no logon: the dialog is only confirmed.
    const struct {
        const char *user, *password, *typed;
    } rows[] = {{"  saldo ", "m4t-пароль", "saldo|m4t-пароль"}, {"", "secret", "|"}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r.password);
        SetProxyCredentials(state, QString::fromUtf8(r.user), QString::fromUtf8(r.password));
        BrowserWindow window(state);
        // The window itself never appears: a run must not put a window on the
        // screen or take the focus. Its dialogs still come up as dialogs.
        window.show();
        bool shownOffScreen = false;
        qint64 answeredAfter = -1;
        QElapsedTimer clock;
        QObject::connect(&window, &BrowserWindow::dialogCaught, [&](QWidget *) { clock.start(); });
        QObject::connect(&window, &BrowserWindow::dialogAnswered, [&](QWidget *dialog, bool clicked) {
            shownOffScreen = OffScreen(dialog) && dialog->isVisible() && dialog->parentWidget() == &window;
            answeredAfter = clicked ? clock.elapsed() : -2;
        });
        QString user = QStringLiteral("?"), password = QStringLiteral("?");
        EXPECT_TRUE(window.AskProxyLogon(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), 3128),
                                         user, password));
        EXPECT_EQ(user + u'|' + password, QString::fromUtf8(r.typed));
        EXPECT_TRUE(shownOffScreen);
        EXPECT_GE(answeredAfter, BrowserWindow::kDialogsDelayMs - 5);
        EXPECT_FALSE(window.isVisible());
        // Whatever another dialog's fields held stays: nothing is typed.
        if (!*r.user) {
            TwoFieldDialog dialog(&window);
            dialog.show();
            ASSERT_TRUE(WaitUntil([&] { return !dialog.isVisible(); }, 2000));
            EXPECT_EQ(dialog.result(), QDialog::Accepted);
            EXPECT_EQ(dialog.texts(), QStringLiteral("xy"));
        }
    }
}

TEST(BrowserWindowTest, OnlyItsOwnDialogsAndOnlyTheLastOfTwoWithin70msAreAnswered)
{
    TestHome home;
    TProgramState state{InitPaths()};
    SetProxyCredentials(state, QStringLiteral("saldo"), QStringLiteral("m4t"));
    BrowserWindow window(state);
    int caught = 0, answered = 0;
    QObject::connect(&window, &BrowserWindow::dialogCaught, [&](QWidget *) { ++caught; });
    QObject::connect(&window, &BrowserWindow::dialogAnswered, [&](QWidget *, bool) { ++answered; });

    // A dialog of another window, and a widget inside the browser window, are left alone.
    QWidget other;
    other.move(100, 100);
    other.show();
    TwoFieldDialog foreign(&other);
    foreign.show();
    (new QLineEdit(&window))->show();
    Pump(4 * BrowserWindow::kDialogsDelayMs);
    EXPECT_EQ(caught, 0);
    EXPECT_FALSE(window.DialogsTimerActive());
    EXPECT_EQ(window.DialogWnd(), nullptr);
    EXPECT_TRUE(foreign.isVisible() && !OffScreen(&foreign));
    EXPECT_EQ(foreign.texts(), QStringLiteral("xy"));

    TwoFieldDialog first(&window), second(&window);
    first.show();
    second.show();
    EXPECT_EQ(window.DialogWnd(), &second);
    EXPECT_TRUE(OffScreen(&first) && OffScreen(&second));
    ASSERT_TRUE(WaitUntil([&] { return !second.isVisible(); }, 2000));
    EXPECT_EQ(second.result(), QDialog::Accepted);
    EXPECT_EQ(second.texts(), QStringLiteral("saldom4t"));
    Pump(3 * BrowserWindow::kDialogsDelayMs);
    EXPECT_EQ(answered, 1);
    EXPECT_TRUE(first.isVisible());
    EXPECT_EQ(first.texts(), QStringLiteral("xy"));

    // A later dialog is answered again on its own.
    TwoFieldDialog third(&window);
    third.show();
    ASSERT_TRUE(WaitUntil([&] { return !third.isVisible(); }, 2000));
    EXPECT_EQ(answered, 2);
    EXPECT_TRUE(first.isVisible());
}
