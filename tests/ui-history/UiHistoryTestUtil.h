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
#include <QTableWidget>
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

// Answers each modal window a test's action opens and records its text in
// seen (and its icon, NoIcon but for message boxes): a message box gets the
// next queued button, Ok when none is left; a file dialog (the name it
// proposes) takes saveAs, or is cancelled when that is empty; a grid window
// ("header | rows | newest balance") and any other (its class) is closed.
// onWindow sees each window first.
class ModalWatcher : public QObject {
public:
    ModalWatcher()
    {
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
        timer_.start(5);
    }
    QList<QMessageBox::StandardButton> answers;
    QString saveAs;
    std::function<void(QWidget *)> onWindow;
    QStringList seen;
    QList<QMessageBox::Icon> icons;

private:
    void poll()
    {
        QWidget *w = QApplication::activeModalWidget();
        if (!w || !w->isVisible())
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
            static_cast<QDialog *>(files)->accept();  // the dialog's own accept, as its Save button
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
    QTimer timer_;
};
