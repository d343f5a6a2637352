#pragma once
// Answers a dialog that nobody is there to answer: finds its affirmative
// button and clicks it, and types a user name and password into its first two
// edit fields. The clicks and keys are posted, not sent: they happen when the
// dialog next processes its events, in the order they were posted.

#include <QString>
#include <utility>

class QWidget;

// The first child widget (at any depth) whose class name contains "Button"
// and whose text, with every "&" removed, contains "Yes", "Да", "OK" or "ОК"
// (letter case ignored); null when there is none.
QWidget *FindYesButton(QWidget *dialog);
// Posts a left-button press and release to the affirmative button; false
// when the dialog has none.
bool ClickYesToDialog(QWidget *dialog);
// The first and second child widgets whose class name contains "Edit"
// (letter case ignored); null where missing.
std::pair<QWidget *, QWidget *> FindUserPassHandles(QWidget *dialog);
// Types the user name into the upper (then left) of the two edit fields and
// the password into the other, each cleared first; false (nothing typed) when
// the dialog has fewer than two edit fields.
bool EnterProxyAuth(QWidget *dialog, const QString &user, const QString &password);
