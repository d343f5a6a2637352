// The routines that find and operate a dialog's affirmative button and its
// two edit fields.
#include "DialogClickYes.h"
#include "DialogTestSupport.h"

#include <QCheckBox>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

QPushButton *AddButton(QDialog &dialog, QLayout *layout, const QString &text)
{
    auto *button = new QPushButton(text, &dialog);
    layout->addWidget(button);
    return button;
}

} // namespace

TEST(FindYesButton, AffirmativeCaptionsAndOnlyButtons)
{
    {
        // "&Yes" is found with its "&" removed; "Cancel" before it is not.
        QDialog dialog;
        auto *layout = new QVBoxLayout(&dialog);
        AddButton(dialog, layout, QStringLiteral("Cancel"));
        QPushButton *yes = AddButton(dialog, layout, QStringLiteral("&Yes"));
        EXPECT_EQ(FindYesButton(&dialog), yes);
    }
    {
        QDialog dialog;
        auto *layout = new QVBoxLayout(&dialog);
        AddButton(dialog, layout, QStringLiteral("Cancel"));
        AddButton(dialog, layout, QStringLiteral("&Нет"));
        AddButton(dialog, layout, QStringLiteral("Отмена"));
        // A label saying OK is not a button; a check box's class is no button.
        layout->addWidget(new QLabel(QStringLiteral("OK"), &dialog));
        layout->addWidget(new QCheckBox(QStringLiteral("OK"), &dialog));
        EXPECT_EQ(FindYesButton(&dialog), nullptr);
    }
    for (const QString &caption :
        {QStringLiteral("&Да"), QStringLiteral("ОК"), QStringLiteral("ok"), QStringLiteral("Y&es, go on")}) {
        // At any depth, Cyrillic "ОК" and "Да" too, letter case ignored.
        QDialog dialog;
        auto *layout = new QVBoxLayout(&dialog);
        auto *group = new QGroupBox(QStringLiteral("Группа"), &dialog);
        layout->addWidget(group);
        auto *inner = new QVBoxLayout(group);
        auto *button = new QPushButton(caption, group);
        inner->addWidget(button);
        EXPECT_EQ(FindYesButton(&dialog), button) << caption.toStdString();
    }
    EXPECT_EQ(FindYesButton(nullptr), nullptr);
}

TEST(ClickYesToDialog, PostsTheClickToTheAffirmativeButton)
{
    QDialog dialog;
    auto *layout = new QVBoxLayout(&dialog);
    QPushButton *cancel = AddButton(dialog, layout, QStringLiteral("Отмена"));
    QPushButton *ok = AddButton(dialog, layout, QStringLiteral("OK"));
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    int clicks = 0;
    QObject::connect(ok, &QPushButton::clicked, [&] { ++clicks; });
    dialog.show();
    ASSERT_TRUE(WaitUntil([&] { return dialog.isVisible(); }));

    EXPECT_TRUE(ClickYesToDialog(&dialog));
    EXPECT_EQ(clicks, 0) << "the click is posted, not sent";
    ASSERT_TRUE(WaitUntil([&] { return !dialog.isVisible(); }, 2000));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(clicks, 1);

    // No affirmative button: nothing to click, the dialog stays open.
    QDialog other;
    auto *otherLayout = new QVBoxLayout(&other);
    QPushButton *close = AddButton(other, otherLayout, QStringLiteral("Закрыть"));
    QObject::connect(close, &QPushButton::clicked, &other, &QDialog::reject);
    other.show();
    EXPECT_FALSE(ClickYesToDialog(&other));
    Pump(100);
    EXPECT_TRUE(other.isVisible());
}

TEST(EnterProxyAuth, UserNameGoesIntoTheUpperOrLeftField)
{
    {
        // The password field comes first among the children but lies below.
        QDialog dialog;
        auto *pass = new QLineEdit(QStringLiteral("old"), &dialog);
        auto *user = new QLineEdit(QStringLiteral("old"), &dialog);
        auto *layout = new QVBoxLayout(&dialog);
        layout->addWidget(user);
        layout->addWidget(pass);
        dialog.show();
        ASSERT_TRUE(WaitUntil([&] { return dialog.isVisible(); }));
        ASSERT_LT(user->y(), pass->y());

        auto [first, second] = FindUserPassHandles(&dialog);
        EXPECT_EQ(first, pass);
        EXPECT_EQ(second, user);
        EXPECT_TRUE(EnterProxyAuth(&dialog, QStringLiteral("прокси user"), QStringLiteral("p@ss wörd")));
        Pump(50);
        EXPECT_EQ(user->text(), QStringLiteral("прокси user"));
        EXPECT_EQ(pass->text(), QStringLiteral("p@ss wörd"));
    }
    {
        // Side by side: the left one gets the user name.
        QDialog dialog;
        auto *right = new QLineEdit(&dialog);
        auto *left = new QLineEdit(&dialog);
        auto *layout = new QGridLayout(&dialog);
        layout->addWidget(left, 0, 0);
        layout->addWidget(right, 0, 1);
        dialog.show();
        ASSERT_TRUE(WaitUntil([&] { return dialog.isVisible(); }));
        EXPECT_TRUE(EnterProxyAuth(&dialog, QStringLiteral("u"), QStringLiteral("p")));
        Pump(50);
        EXPECT_EQ(left->text(), QStringLiteral("u"));
        EXPECT_EQ(right->text(), QStringLiteral("p"));
    }
    {
        // Fewer than two edit fields: nothing is typed.
        QDialog dialog;
        auto *only = new QLineEdit(QStringLiteral("keep"), &dialog);
        auto *layout = new QVBoxLayout(&dialog);
        layout->addWidget(only);
        dialog.show();
        auto [first, second] = FindUserPassHandles(&dialog);
        EXPECT_EQ(first, only);
        EXPECT_EQ(second, nullptr);
        EXPECT_FALSE(EnterProxyAuth(&dialog, QStringLiteral("u"), QStringLiteral("p")));
        Pump(50);
        EXPECT_EQ(only->text(), QStringLiteral("keep"));
    }
}
