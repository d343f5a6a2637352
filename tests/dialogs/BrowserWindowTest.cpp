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
        layout->addWidget(a);
        layout->addWidget(b);
        layout->addWidget(ok);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    }
    QString texts() const { return a->text() + b->text(); }
    QLineEdit *a = new QLineEdit(QStringLiteral("x"), this), *b = new QLineEdit(QStringLiteral("y"), this);
    QPushButton *ok = new QPushButton(QStringLiteral("OK"), this);
};
}  // namespace

TEST(BrowserWindowTest, AnswersOnlyItsOwnDialogsOutOfSightAndOnlyTheLastOfTwoWithin70ms)
{
    TestHome home;
    TProgramState state{InitPaths()};
    SetProxyCredentials(state, QStringLiteral("  saldo "), QString::fromUtf8("m4t-пароль"));
    BrowserWindow window(state);
    // The window itself never appears: a run must not put a window on the
    // screen or take the focus. Its dialogs still come up as dialogs.
    window.show();
    int caught = 0, answered = 0;
    bool shownOffScreen = false;
    qint64 answeredAfter = -1;
    QElapsedTimer clock;
    QObject::connect(&window, &BrowserWindow::dialogCaught, [&](QWidget *) { ++caught, clock.start(); });
    QObject::connect(&window, &BrowserWindow::dialogAnswered, [&](QWidget *dialog, bool clicked) {
        ++answered;
        shownOffScreen = OffScreen(dialog) && dialog->isVisible() && dialog->parentWidget() == &window;
        answeredAfter = clicked ? clock.elapsed() : -2;
    });

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

    // The proxy's logon prompt gets the stored credentials, 70 ms later.
    QString user, password;
    EXPECT_TRUE(window.AskProxyLogon(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), 3128), user,
                                     password));
    EXPECT_EQ(user + u'|' + password, QString::fromUtf8("saldo|m4t-пароль"));
    EXPECT_TRUE(shownOffScreen);
    EXPECT_GE(answeredAfter, BrowserWindow::kDialogsDelayMs - 5);
    EXPECT_FALSE(window.isVisible());

    TwoFieldDialog first(&window), second(&window);
    first.show();
    second.show();
    EXPECT_EQ(window.DialogWnd(), &second);
    EXPECT_TRUE(OffScreen(&first) && OffScreen(&second));
    ASSERT_TRUE(WaitUntil([&] { return !second.isVisible(); }, 2000));
    EXPECT_EQ(second.result(), QDialog::Accepted);
    EXPECT_EQ(second.texts(), QString::fromUtf8("saldom4t-пароль"));
    Pump(3 * BrowserWindow::kDialogsDelayMs);
    EXPECT_EQ(answered, 2);
    EXPECT_TRUE(first.isVisible());
    EXPECT_EQ(first.texts(), QStringLiteral("xy"));

    // A later dialog is answered again on its own; a password alone is no
    // logon: the dialog is only confirmed, nothing is typed.
    SetProxyCredentials(state, QString(), QStringLiteral("secret"));
    TwoFieldDialog third(&window);
    third.show();
    ASSERT_TRUE(WaitUntil([&] { return !third.isVisible(); }, 2000));
    EXPECT_EQ(answered, 3);
    EXPECT_EQ(third.result(), QDialog::Accepted);
    EXPECT_EQ(third.texts(), QStringLiteral("xy"));
    EXPECT_TRUE(first.isVisible());
}
