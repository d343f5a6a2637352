#pragma once
// Support for the dialog tests: the program's state on a temporary directory,
// and drivers for the modal windows the dialogs open.

#include "Encoding.h"
#include "ProgramState.h"
#include "SettingsFile.h"
#include "TestHome.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <gtest/gtest.h>

struct UiHome : TestHome {
    UiHome() { qputenv("XDG_CONFIG_HOME", (dir() + QStringLiteral("xdg")).toLocal8Bit()); }
    TProgramState state{InitPaths()};
};

inline const auto U = [](const char *utf8) { return QString::fromUtf8(utf8); };
inline const auto Split = [](const char *utf8) { return U(utf8).split(u'|'); };  // "a|b|c"

// Runs fn on the first modal window of type T that comes up.
template <class T> void WhenModal(std::function<void(T *)> fn)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, fn] {
        if (auto *w = qobject_cast<T *>(QApplication::activeModalWidget())) {
            timer->deleteLater();
            timer->stop();
            fn(w);
        }
    });
    timer->start(10);
}

// Answers every message box that comes up while it lives, recording its text and icon.
struct MessageCatcher {
    explicit MessageCatcher(QMessageBox::StandardButton a = QMessageBox::Ok) : answer(a)
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                texts << box->text();
                icons << box->icon();
                (box->button(answer) ? box->button(answer) : box->buttons().value(0))->click();
            }
        });
        timer.start(10);
    }
    QMessageBox::StandardButton answer;
    QStringList texts;
    QList<QMessageBox::Icon> icons;
    QTimer timer;
};

// Types text one key press at a time, as a keyboard would (QTest::keyClicks
// knows only part of ASCII).
inline void TypeText(QWidget *widget, const QString &text)
{
    for (QChar c : text)
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent event(type, c.unicode() < 128 ? c.toUpper().unicode() : int(Qt::Key_unknown), Qt::NoModifier,
                            QString(c));
            QApplication::sendEvent(widget, &event);
        }
}
