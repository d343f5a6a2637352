#pragma once
// History window tests: a program directory, monitored phones, a modal watcher.

#include "ExportTestUtil.h"
#include "History.h"
#include "HistoryDb.h"
#include "HistoryPhone.h"
#include "ProgramState.h"
#include "TestHome.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

template <class T> T *child(QWidget *w, const char *name)
{
    T *found = w->findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

class UiHistoryTest : public ::testing::Test {
protected:
    // Monitored in the settings and known to the phone table, as at start-up.
    void phone(int slot, const QString &number, const QString &alias = QString())
    {
        MonitorPhone(state.Setup, slot, number, alias);
        state.IssaArray[slot].PhoneID = slot;
        state.IssaArray[slot].PhoneNumber = number;
        state.IssaArray[slot].Alias = alias;
    }

    TestHome home;
    TProgramState state{InitPaths()};
    QString db = HistoryDbFileName();
};

// Answers the modal windows of a test's action, after onWindow, recording each
// text (and icon): a message box takes the next queued button (Ok when none);
// a file dialog (the name it proposes) takes saveAs or, when empty, cancels; a
// grid ("header | rows | newest balance") or any other window (class) closes.
class ModalWatcher : public QObject {
public:
    explicit ModalWatcher(QString file = QString()) : saveAs(std::move(file)) { startTimer(5); }
    QString saveAs;
    QList<QMessageBox::StandardButton> answers;
    std::function<void(QWidget *)> onWindow;
    QStringList seen;
    QList<QMessageBox::Icon> icons;

protected:
    void timerEvent(QTimerEvent *) override
    {
        QWidget *w = QApplication::activeModalWidget();
        if (!w || !w->isVisible() || w == pending_)
            return;
        if (onWindow)
            onWindow(w);
        auto *box = qobject_cast<QMessageBox *>(w);
        icons << (box ? box->icon() : QMessageBox::NoIcon);
        if (box) {
            seen << box->text();
            QAbstractButton *b = box->button(answers.isEmpty() ? QMessageBox::Ok : answers.takeFirst());
            b ? b->click() : box->reject();
        } else if (auto *files = qobject_cast<QFileDialog *>(w)) {
            seen << QFileInfo(files->selectedFiles().value(0)).fileName();
            if (saveAs.isEmpty())
                return files->reject();
            files->selectFile(saveAs);
            pending_ = files;  // accepted from outside this timer, so that its own questions are answered
            QTimer::singleShot(0, files, [this, files] {
                static_cast<QDialog *>(files)->accept();  // as its Save button
                pending_ = nullptr;
                if (files->isVisible())  // still open after that question: give up
                    files->reject();
            });
        } else {
            const auto *grid = qobject_cast<TfrmHistoryPhone *>(w);
            seen << (grid ? QStringLiteral("%1 | %2 | %3")
                                .arg(grid->header()->text())
                                .arg(grid->grid()->rowCount())
                                .arg(grid->grid()->model()->index(0, 2).data().toString())
                          : QString::fromLatin1(w->metaObject()->className()));
            w->close();
        }
    }
    QPointer<QWidget> pending_;
};
