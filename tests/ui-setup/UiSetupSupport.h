#pragma once
// Support for the dialog tests: the program's state on a temporary directory,
// and drivers for the modal windows the dialogs open.

#include "Common.h"
#include "Encoding.h"
#include "Failure.h"
#include "ProgramState.h"
#include "SettingsFile.h"
#include "TestHome.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

struct UiHome : TestHome {
    UiHome()
    {
        QDir().mkpath(dir() + QStringLiteral("xdg"));
        qputenv("XDG_CONFIG_HOME", (dir() + QStringLiteral("xdg")).toLocal8Bit());
    }
    TProgramState state{InitPaths()};
};

inline QString U(const char *utf8)
{
    return QString::fromUtf8(utf8);
}
inline QStringList Split(const char *utf8)  // "a|b|c"
{
    return U(utf8).split(u'|');
}

// Runs fn on the first modal window of type T that comes up, or (once unset)
// on every one while the returned timer lives.
template <class T> QTimer *WhenModal(std::function<void(T *)> fn, bool once = true)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, fn, once] {
        auto *w = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!w || w->property("caught").toBool())
            return;
        if (once) {
            timer->stop();
            timer->deleteLater();
        } else {
            w->setProperty("caught", true);  // each message box once
        }
        fn(w);
    });
    timer->start(10);
    return timer;
}

// Answers every message box that comes up while it lives, recording its text and icon.
struct MessageCatcher {
    explicit MessageCatcher(QMessageBox::StandardButton answer = QMessageBox::Ok)
        : timer(WhenModal<QMessageBox>(
            [this, answer](QMessageBox *box) {
                texts.append(box->text());
                icons.append(box->icon());
                (box->button(answer) ? box->button(answer) : box->buttons().value(0))->click();
            },
            false))
    {
    }
    QStringList texts;
    QList<QMessageBox::Icon> icons;
    std::unique_ptr<QTimer> timer;
};

// Types text one key press at a time, as a keyboard would (QTest::keyClicks
// knows only part of ASCII).
inline void TypeText(QWidget *widget, const QString &text)
{
    for (QChar c : text) {
        const int key = c.unicode() < 128 ? c.toUpper().unicode() : int(Qt::Key_unknown);
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent event(type, key, Qt::NoModifier, QString(c));
            QApplication::sendEvent(widget, &event);
        }
    }
}
