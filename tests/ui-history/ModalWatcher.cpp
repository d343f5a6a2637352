#include "ModalWatcher.h"

#include "HistoryPhone.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>

ModalWatcher::ModalWatcher()
{
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
    timer_.start();
}

void ModalWatcher::poll()
{
    QWidget *w = QApplication::activeModalWidget();
    if (!w || !w->isVisible())
        return;
    SeenModal s;
    s.className = QString::fromLatin1(w->metaObject()->className());
    if (auto *box = qobject_cast<QMessageBox *>(w)) {
        s.text = box->text();
        s.icon = box->icon();
        seen_ << s;
        const QMessageBox::StandardButton button = answers_.isEmpty() ? QMessageBox::Ok : answers_.takeFirst();
        if (QAbstractButton *b = box->button(button))
            b->click();
        else
            box->reject();
        return;
    }
    if (auto *grid = qobject_cast<TfrmHistoryPhone *>(w))
        s.text = grid->header()->text();
    seen_ << s;
    if (inspect_)
        inspect_(w);
    if (auto *dialog = qobject_cast<QDialog *>(w))
        dialog->reject();
    else
        w->close();
}
