// The browser window catches the windows created on it, moves them out of
// sight and answers them 70 ms later, typing into the two edit fields and
// clicking the affirmative button it finds.
#include "BrowserWindow.h"
#include "DialogClickYes.h"
#include "EventLoopWait.h"
#include "ProgramState.h"
#include "SettingsFile.h"
#include "TestHome.h"

#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkProxy>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {
// Out of sight: where the window was moved to (a platform may add its frame).
bool OffScreen(const QWidget *w)
{
    return w->x() <= BrowserWindow::kOffScreen + 50 && w->y() <= BrowserWindow::kOffScreen + 50;
}

// A dialog with two edit fields holding "x" and "y", and "OK"; the first
// field among the children lies below the other, so the user name goes into b.
struct TwoFieldDialog : QDialog {
    explicit TwoFieldDialog(QWidget *parent) : QDialog(parent)
    {
        a->move(0, 40);
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
    EXPECT_TRUE(caught == 0 && !window.DialogsTimerActive() && !window.DialogWnd());
    EXPECT_TRUE(foreign.isVisible() && !OffScreen(&foreign) && foreign.texts() == QStringLiteral("xy"));

    // The proxy's logon prompt gets the stored credentials, 70 ms later.
    QString user, password;
    EXPECT_TRUE(window.AskProxyLogon(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), 3128), user,
                                     password));
    EXPECT_EQ(user + u'|' + password, QString::fromUtf8("saldo|m4t-пароль"));
    EXPECT_TRUE(shownOffScreen && !window.isVisible() && answeredAfter >= BrowserWindow::kDialogsDelayMs - 5);

    TwoFieldDialog first(&window), second(&window);
    first.show();
    second.show();
    EXPECT_TRUE(window.DialogWnd() == &second && OffScreen(&first) && OffScreen(&second));
    ASSERT_TRUE(WaitUntil([&] { return !second.isVisible(); }, 2000));
    EXPECT_TRUE(second.result() == QDialog::Accepted && second.texts() == QString::fromUtf8("m4t-парольsaldo"));
    Pump(3 * BrowserWindow::kDialogsDelayMs);
    EXPECT_TRUE(answered == 2 && first.isVisible() && first.texts() == QStringLiteral("xy"));
    SetProxyCredentials(state, QString(), QStringLiteral("secret"));  // a password alone is no logon
    EXPECT_TRUE(window.AskProxyLogon(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", 3128), user, password));
    EXPECT_EQ(user + u'|' + password, QStringLiteral("|"));
}

TEST(DialogClickYes, FindsAffirmativeButtonsAtAnyDepthAndPostsTheClick)
{
    EXPECT_EQ(FindYesButton(nullptr), nullptr);
    QDialog dialog;
    new QPushButton(QStringLiteral("Cancel"), &dialog);
    // A label saying OK is not a button; a check box's class is no button.
    new QLabel(QStringLiteral("OK"), &dialog);
    new QCheckBox(QStringLiteral("OK"), &dialog);
    auto *button = new QPushButton(new QGroupBox(QStringLiteral("Группа"), &dialog));
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
    dialog.show();
    EXPECT_FALSE(EnterProxyAuth(&dialog, QStringLiteral("user"), QStringLiteral("pass")));  // no edit fields
    const char *captions[] = {"&Yes", "&Да", "ОК", "ok", "Y&es, go on", "Cancel", "&Нет", "Отмена", "Закрыть"};
    for (int i = 0; i < 9; ++i) {
        const bool yes = i < 5;
        SCOPED_TRACE(captions[i]);
        button->setText(QString::fromUtf8(captions[i]));
        EXPECT_EQ(FindYesButton(&dialog), yes ? button : nullptr);
        clicks = 0;
        EXPECT_EQ(ClickYesToDialog(&dialog), yes);
        EXPECT_EQ(clicks, 0) << "the click is posted, not sent";
        Pump(100);
        EXPECT_EQ(clicks, yes ? 1 : 0);
    }
}
