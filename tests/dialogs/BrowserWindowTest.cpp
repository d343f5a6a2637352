// The browser window catches the windows created on it, moves them out of
// sight and answers them 70 ms later.
#include "BrowserWindow.h"
#include "DialogTestSupport.h"
#include "ProgramState.h"
#include "ProxyLogonDialog.h"
#include "SettingsFile.h"
#include "TestHome.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkProxy>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

// Out of sight: where the window was moved to (a platform may add its frame).
bool OffScreen(const QPoint &pos)
{
    return pos.x() <= BrowserWindow::kOffScreen + 50 && pos.y() <= BrowserWindow::kOffScreen + 50;
}

// A dialog with two filled edit fields and "OK".
struct TwoFieldDialog {
    QDialog *dialog;
    QLineEdit *a, *b;
};
TwoFieldDialog MakeDialog(QWidget *parent)
{
    auto *dialog = new QDialog(parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    TwoFieldDialog d{dialog, new QLineEdit(QStringLiteral("x"), dialog), new QLineEdit(QStringLiteral("y"), dialog)};
    auto *ok = new QPushButton(QStringLiteral("OK"), dialog);
    auto *layout = new QVBoxLayout(dialog);
    for (QWidget *w : {static_cast<QWidget *>(d.a), static_cast<QWidget *>(d.b), static_cast<QWidget *>(ok)})
        layout->addWidget(w);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    return d;
}

class BrowserWindowTest : public ::testing::Test {
protected:
    TestHome home;
    TProgramState state{InitPaths()};
};

}  // namespace

TEST_F(BrowserWindowTest, ProxyLogonAnsweredWithTheStoredCredentials)
{
    SetProxyCredentials(state, QStringLiteral("  saldo "), QStringLiteral("m4t-пароль"));
    BrowserWindow window(state);
    // The window itself never appears: a run must not put a window on the
    // screen or take the focus. Its dialogs still come up as dialogs.
    window.show();
    EXPECT_FALSE(window.isVisible());

    QPoint shownAt(0, 0);
    bool dialogShown = false;
    qint64 answeredAfter = -1;
    QElapsedTimer clock;
    QObject::connect(&window, &BrowserWindow::dialogCaught, [&](QWidget *) { clock.start(); });
    QObject::connect(&window, &BrowserWindow::dialogAnswered, [&](QWidget *dialog, bool clicked) {
        shownAt = dialog->pos();
        dialogShown = dialog->isVisible() && dialog->parentWidget() == &window;
        answeredAfter = clicked ? clock.elapsed() : -2;
    });
    QString user, password;
    const bool confirmed = window.AskProxyLogon(
        QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), 3128), user, password);
    EXPECT_TRUE(confirmed);
    EXPECT_EQ(user, QStringLiteral("saldo"));
    EXPECT_EQ(password, QStringLiteral("m4t-пароль"));
    EXPECT_TRUE(OffScreen(shownAt)) << shownAt.x() << "," << shownAt.y();
    EXPECT_GE(answeredAfter, BrowserWindow::kDialogsDelayMs - 5);
    EXPECT_TRUE(dialogShown);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(BrowserWindowTest, WithoutProxyUserNameTheDialogIsOnlyConfirmed)
{
    // A password alone is no logon.
    SetProxyCredentials(state, QString(), QStringLiteral("secret"));
    BrowserWindow window(state);
    QString user = QStringLiteral("?"), password = QStringLiteral("?");
    EXPECT_TRUE(
        window.AskProxyLogon(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("proxy"), 8080), user, password));
    EXPECT_TRUE(user.isEmpty());
    EXPECT_TRUE(password.isEmpty());

    // Whatever the fields held stays: nothing is typed.
    const auto [dialog, a, b] = MakeDialog(&window);
    dialog->show();
    ASSERT_TRUE(WaitUntil([&] { return !dialog->isVisible(); }, 2000));
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(a->text(), QStringLiteral("x"));
    EXPECT_EQ(b->text(), QStringLiteral("y"));
}

TEST_F(BrowserWindowTest, WindowsOfOtherWindowsAreLeftAlone)
{
    SetProxyCredentials(state, QStringLiteral("saldo"), QStringLiteral("m4t"));
    BrowserWindow window(state);
    QWidget other;
    other.move(100, 100);
    other.show();
    int caught = 0;
    QObject::connect(&window, &BrowserWindow::dialogCaught, [&](QWidget *) { ++caught; });

    const auto [made, a, b] = MakeDialog(&other);
    std::unique_ptr<QDialog> dialog(made);
    dialog->show();
    // A widget inside the browser window is no dialog either.
    auto *inner = new QLineEdit(&window);
    inner->show();
    Pump(4 * BrowserWindow::kDialogsDelayMs);
    EXPECT_EQ(caught, 0);
    EXPECT_FALSE(window.DialogsTimerActive());
    EXPECT_EQ(window.DialogWnd(), nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(OffScreen(dialog->pos()));
    EXPECT_EQ(a->text(), QStringLiteral("x"));
    EXPECT_EQ(b->text(), QStringLiteral("y"));
}

TEST_F(BrowserWindowTest, OnlyTheLastOfTwoDialogsWithin70msIsAnswered)
{
    SetProxyCredentials(state, QStringLiteral("saldo"), QStringLiteral("m4t"));
    BrowserWindow window(state);
    int answered = 0;
    QObject::connect(&window, &BrowserWindow::dialogAnswered, [&](QWidget *, bool) { ++answered; });
    const TwoFieldDialog one = MakeDialog(&window), two = MakeDialog(&window);
    std::unique_ptr<QDialog> first(one.dialog), second(two.dialog);
    first->show();
    second->show();
    EXPECT_EQ(window.DialogWnd(), second.get());
    EXPECT_TRUE(OffScreen(first->pos()));
    EXPECT_TRUE(OffScreen(second->pos()));

    ASSERT_TRUE(WaitUntil([&] { return !second->isVisible(); }, 2000));
    EXPECT_EQ(second->result(), QDialog::Accepted);
    EXPECT_EQ(two.a->text(), QStringLiteral("saldo"));
    EXPECT_EQ(two.b->text(), QStringLiteral("m4t"));
    Pump(3 * BrowserWindow::kDialogsDelayMs);
    EXPECT_EQ(answered, 1);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(one.a->text(), QStringLiteral("x"));

    // A later dialog is answered again on its own.
    std::unique_ptr<QDialog> third(MakeDialog(&window).dialog);
    third->show();
    ASSERT_TRUE(WaitUntil([&] { return !third->isVisible(); }, 2000));
    EXPECT_EQ(answered, 2);
    EXPECT_TRUE(first->isVisible());
}
