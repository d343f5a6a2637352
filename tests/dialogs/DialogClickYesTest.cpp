// The routines that find a dialog's affirmative button and its two edit
// fields (clicking and typing through the browser window: BrowserWindowTest).
#include "DialogClickYes.h"
#include "EventLoopWait.h"

#include <QCheckBox>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <gtest/gtest.h>

TEST(DialogClickYes, FindsAffirmativeButtonsAtAnyDepthAndPostsTheClick)
{
    EXPECT_EQ(FindYesButton(nullptr), nullptr);
    QDialog dialog;
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QPushButton(QStringLiteral("Cancel"), &dialog));
    // A label saying OK is not a button; a check box's class is no button.
    layout->addWidget(new QLabel(QStringLiteral("OK"), &dialog));
    layout->addWidget(new QCheckBox(QStringLiteral("OK"), &dialog));
    auto *group = new QGroupBox(QStringLiteral("Группа"), &dialog);
    layout->addWidget(group);
    auto *button = new QPushButton(group);
    (new QVBoxLayout(group))->addWidget(button);
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
    QObject::connect(button, &QPushButton::clicked, &dialog, &QDialog::accept);
    const char *captions[] = {"&Yes", "&Да", "ОК", "ok", "Y&es, go on", "Cancel", "&Нет", "Отмена", "Закрыть"};
    for (int i = 0; i < 9; ++i) {
        const bool yes = i < 5;
        SCOPED_TRACE(captions[i]);
        button->setText(QString::fromUtf8(captions[i]));
        EXPECT_EQ(FindYesButton(&dialog), yes ? button : nullptr);
        clicks = 0;
        dialog.show();
        EXPECT_EQ(ClickYesToDialog(&dialog), yes);
        EXPECT_EQ(clicks, 0) << "the click is posted, not sent";
        Pump(100);
        EXPECT_EQ(clicks, yes ? 1 : 0);
        EXPECT_EQ(dialog.isVisible(), !yes);
    }
}

TEST(DialogClickYes, UserNameGoesIntoTheUpperOrLeftOfTwoFields)
{
    for (int fields : {1, 2, 3}) {
        SCOPED_TRACE(fields);
        // The password field comes first among the children but lies below
        // (or to the right).
        QDialog dialog;
        auto *pass = new QLineEdit(QStringLiteral("old"), &dialog);
        auto *user = new QLineEdit(QStringLiteral("old"), &dialog);
        auto *layout = new QGridLayout(&dialog);
        layout->addWidget(user, 0, 0);
        if (fields > 1)
            layout->addWidget(pass, fields == 3 ? 0 : 1, fields == 3 ? 1 : 0);
        else
            delete pass;
        dialog.show();
        // Fewer than two edit fields: nothing is typed.
        EXPECT_EQ(EnterProxyAuth(&dialog, QStringLiteral("прокси user"), QStringLiteral("p@ss wörd")), fields > 1);
        Pump(50);
        EXPECT_EQ(fields > 1 ? user->text() + u'|' + pass->text() : user->text(),
                  fields > 1 ? QStringLiteral("прокси user|p@ss wörd") : QStringLiteral("old"));
    }
}
