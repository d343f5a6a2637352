// The routines that find a dialog's affirmative button and its two edit
// fields (clicking and typing through the browser window: BrowserWindowTest).
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

TEST(FindYesButton, AffirmativeCaptionsAtAnyDepthAndOnlyButtons)
{
    const struct {
        const char *caption;
        bool yes;
    } cases[] = {{"&Yes", true},        {"&Да", true},     {"ОК", true},    {"ok", true},
                 {"Y&es, go on", true}, {"Cancel", false}, {"&Нет", false}, {"Отмена", false}};
    for (const auto &c : cases) {
        QDialog dialog;
        auto *layout = new QVBoxLayout(&dialog);
        layout->addWidget(new QPushButton(QStringLiteral("Cancel"), &dialog));
        // A label saying OK is not a button; a check box's class is no button.
        layout->addWidget(new QLabel(QStringLiteral("OK"), &dialog));
        layout->addWidget(new QCheckBox(QStringLiteral("OK"), &dialog));
        auto *group = new QGroupBox(QStringLiteral("Группа"), &dialog);
        layout->addWidget(group);
        auto *button = new QPushButton(QString::fromUtf8(c.caption), group);
        (new QVBoxLayout(group))->addWidget(button);
        EXPECT_EQ(FindYesButton(&dialog), c.yes ? button : nullptr) << c.caption;
    }
    EXPECT_EQ(FindYesButton(nullptr), nullptr);
}

TEST(EnterProxyAuth, UserNameGoesIntoTheUpperOrLeftField)
{
    for (bool sideBySide : {false, true}) {
        // The password field comes first among the children but lies below
        // (or to the right).
        QDialog dialog;
        auto *pass = new QLineEdit(QStringLiteral("old"), &dialog);
        auto *user = new QLineEdit(QStringLiteral("old"), &dialog);
        auto *layout = new QGridLayout(&dialog);
        layout->addWidget(user, 0, 0);
        layout->addWidget(pass, sideBySide ? 0 : 1, sideBySide ? 1 : 0);
        dialog.show();
        ASSERT_TRUE(WaitUntil([&] { return dialog.isVisible(); }));
        EXPECT_TRUE(EnterProxyAuth(&dialog, QStringLiteral("прокси user"), QStringLiteral("p@ss wörd")));
        Pump(50);
        EXPECT_EQ(user->text(), QStringLiteral("прокси user")) << sideBySide;
        EXPECT_EQ(pass->text(), QStringLiteral("p@ss wörd")) << sideBySide;
    }
    // Fewer than two edit fields: nothing is typed.
    QDialog dialog;
    auto *only = new QLineEdit(QStringLiteral("keep"), &dialog);
    (new QVBoxLayout(&dialog))->addWidget(only);
    dialog.show();
    EXPECT_FALSE(EnterProxyAuth(&dialog, QStringLiteral("u"), QStringLiteral("p")));
    Pump(50);
    EXPECT_EQ(only->text(), QStringLiteral("keep"));
}

TEST(ClickYesToDialog, PostsTheClickOrLeavesTheDialogOpen)
{
    for (const char *caption : {"OK", "Закрыть"}) {
        QDialog dialog;
        auto *button = new QPushButton(QString::fromUtf8(caption), &dialog);
        (new QVBoxLayout(&dialog))->addWidget(button);
        int clicks = 0;
        QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
        QObject::connect(button, &QPushButton::clicked, &dialog, &QDialog::accept);
        dialog.show();
        const bool yes = std::string(caption) == "OK";
        EXPECT_EQ(ClickYesToDialog(&dialog), yes) << caption;
        EXPECT_EQ(clicks, 0) << "the click is posted, not sent";
        Pump(100);
        EXPECT_EQ(clicks, yes ? 1 : 0) << caption;
        EXPECT_EQ(dialog.isVisible(), !yes) << caption;
    }
}
