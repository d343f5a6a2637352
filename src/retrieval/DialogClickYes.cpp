#include "DialogClickYes.h"

#include "Failure.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

namespace {

constexpr int kMaxText = 255;

QString ClassName(const QWidget *w)
{
    return QString::fromLatin1(w->metaObject()->className()).left(kMaxText);
}

// The text a window shows as its own: a button's caption, a label's or an
// edit field's text, else the window title.
QString WindowText(const QWidget *w)
{
    QString text;
    if (auto *button = qobject_cast<const QAbstractButton *>(w))
        text = button->text();
    else if (auto *label = qobject_cast<const QLabel *>(w))
        text = label->text();
    else if (auto *edit = qobject_cast<const QLineEdit *>(w))
        text = edit->text();
    else if (auto *box = qobject_cast<const QGroupBox *>(w))
        text = box->title();
    else
        text = w->windowTitle();
    return text.left(kMaxText);
}

// Every child widget at any depth, parents before their children.
QList<QWidget *> ChildWindows(QWidget *dialog)
{
    return dialog->findChildren<QWidget *>();
}

QWidget *FindHandle(QWidget *dialog)
{
    return guarded(THIS_ROUTINE, [&]() -> QWidget * {
        static const QString kYes[]
            = {QStringLiteral("Yes"), QStringLiteral("Да"), QStringLiteral("OK"), QStringLiteral("ОК")};
        for (QWidget *child : ChildWindows(dialog)) {
            if (!ClassName(child).contains(QLatin1String("Button"), Qt::CaseInsensitive))
                continue;
            const QString text = WindowText(child).remove(QLatin1Char('&'));
            for (const QString &yes : kYes)
                if (text.contains(yes, Qt::CaseInsensitive))
                    return child;
        }
        return nullptr;
    });
}

QList<QWidget *> FindEditHandles(QWidget *dialog)
{
    return guarded(THIS_ROUTINE, [&] {
        QList<QWidget *> edits;
        for (QWidget *child : ChildWindows(dialog)) {
            if (!ClassName(child).contains(QLatin1String("Edit"), Qt::CaseInsensitive))
                continue;
            edits.append(child);
            if (edits.size() == 2)
                break;
        }
        return edits;
    });
}

void SetEmpty(QWidget *edit)
{
    if (auto *line = qobject_cast<QLineEdit *>(edit))
        line->clear();
    else if (auto *text = qobject_cast<QTextEdit *>(edit))
        text->clear();
    else if (auto *plain = qobject_cast<QPlainTextEdit *>(edit))
        plain->clear();
}

void PostCharacters(QWidget *edit, const QString &text)
{
    for (const QChar ch : text)
        QCoreApplication::postEvent(edit, new QKeyEvent(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch)));
}

}  // namespace

QWidget *FindYesButton(QWidget *dialog)
{
    return guarded(THIS_ROUTINE, [&]() -> QWidget * {
        if (!dialog)
            return nullptr;
        return FindHandle(dialog);
    });
}

bool ClickYesToDialog(QWidget *dialog)
{
    return guarded(THIS_ROUTINE, [&] {
        QWidget *button = FindYesButton(dialog);
        if (!button)
            return false;
        const QPointF local(button->width() / 2.0, button->height() / 2.0);
        const QPointF global = button->mapToGlobal(local);
        QCoreApplication::postEvent(
            button,
            new QMouseEvent(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(
            button,
            new QMouseEvent(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
        return true;
    });
}

std::pair<QWidget *, QWidget *> FindUserPassHandles(QWidget *dialog)
{
    return guarded(THIS_ROUTINE, [&]() -> std::pair<QWidget *, QWidget *> {
        if (!dialog)
            return {nullptr, nullptr};
        const QList<QWidget *> edits = FindEditHandles(dialog);
        return {edits.value(0), edits.value(1)};
    });
}

bool EnterProxyAuth(QWidget *dialog, const QString &user, const QString &password)
{
    return guarded(THIS_ROUTINE, [&] {
        auto [userEdit, passEdit] = FindUserPassHandles(dialog);
        if (!userEdit || !passEdit)
            return false;
        const QPoint a = userEdit->mapTo(dialog, QPoint(0, 0));
        const QPoint b = passEdit->mapTo(dialog, QPoint(0, 0));
        if (a.y() > b.y() || a.x() > b.x())
            std::swap(userEdit, passEdit);
        SetEmpty(userEdit);
        PostCharacters(userEdit, user);
        SetEmpty(passEdit);
        PostCharacters(passEdit, password);
        return true;
    });
}
