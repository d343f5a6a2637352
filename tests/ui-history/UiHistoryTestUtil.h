#pragma once
// Set-up of the history window tests: a program directory with its settings
// file, monitored phones, and a watcher that answers the modal windows.

#include "Common.h"
#include "ExportTestUtil.h"
#include "HistoryDb.h"
#include "HistoryPhone.h"
#include "ProgramState.h"
#include "SettingsFile.h"
#include "TestHome.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

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

// Answers each modal window a test's action opens and records it: a message
// box (its text and icon) gets the next queued button, Ok when none is left; a
// file dialog (the name it proposes) takes saveAs, or is cancelled when that
// is empty; any other window (a grid's header) is closed. onWindow sees each
// window first.
struct SeenModal {
    QString className, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

class ModalWatcher : public QObject {
public:
    ModalWatcher()
    {
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
        timer_.start(5);
    }
    QStringList texts() const
    {
        QStringList t;
        for (const SeenModal &s : seen)
            t << s.text;
        return t;
    }

    QList<QMessageBox::StandardButton> answers;
    QString saveAs;
    std::function<void(QWidget *)> onWindow;
    QList<SeenModal> seen;

private:
    void poll()
    {
        QWidget *w = QApplication::activeModalWidget();
        if (!w || !w->isVisible())
            return;
        if (onWindow)
            onWindow(w);
        SeenModal s{QString::fromLatin1(w->metaObject()->className()), {}};
        if (auto *box = qobject_cast<QMessageBox *>(w)) {
            seen << SeenModal{s.className, box->text(), box->icon()};
            QAbstractButton *b = box->button(answers.isEmpty() ? QMessageBox::Ok : answers.takeFirst());
            b ? b->click() : box->reject();
        } else if (auto *files = qobject_cast<QFileDialog *>(w)) {
            seen << SeenModal{s.className, QFileInfo(files->selectedFiles().value(0)).fileName()};
            if (saveAs.isEmpty())
                return files->reject();
            files->selectFile(saveAs);
            static_cast<QDialog *>(files)->accept();  // the dialog's own accept, as its Save button
        } else {
            if (auto *grid = qobject_cast<TfrmHistoryPhone *>(w))
                s.text = grid->header()->text();
            seen << s;
            w->close();
        }
    }
    QTimer timer_;
};
