#pragma once
// Support for the dialog tests: a temporary program directory with the
// configuration opened on it, and drivers for the modal windows that the
// dialogs open (message boxes, nested dialogs).

#include "Common.h"
#include "Encoding.h"
#include "Failure.h"
#include "ProgramState.h"
#include "SettingsFile.h"
#include "TestHome.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

class UiHome : public TestHome {
public:
    UiHome() : oldXdg_(qgetenv("XDG_CONFIG_HOME"))
    {
        QDir().mkpath(dir() + QStringLiteral("xdg"));
        qputenv("XDG_CONFIG_HOME", (dir() + QStringLiteral("xdg")).toLocal8Bit());
    }
    // The program's state on this directory's files.
    TProgramState state{InitPaths()};
    ~UiHome()
    {
        if (oldXdg_.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", oldXdg_);
    }

private:
    QByteArray oldXdg_;
};

inline QString U(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// Answers every message box that comes up while it lives, recording its text
// and icon.
class MessageCatcher {
public:
    explicit MessageCatcher(QMessageBox::StandardButton answer = QMessageBox::Ok) : answer_(answer)
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || box->property("caught").toBool())
                return;
            box->setProperty("caught", true);
            texts.append(box->text());
            icons.append(box->icon());
            QAbstractButton *button = box->button(answer_);
            if (!button)
                button = box->buttons().value(0);
            button->click();
        });
        timer_.start();
    }
    QStringList texts;
    QList<QMessageBox::Icon> icons;

private:
    QMessageBox::StandardButton answer_;
    QTimer timer_;
};

// Runs fn on the first modal window of type T that comes up (once).
template <class T> void WhenModal(std::function<void(T *)> fn)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, fn] {
        if (auto *w = qobject_cast<T *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            fn(w);
        }
    });
    timer->start();
}

// Types text into a widget one key press at a time, as a keyboard would
// (QTest::keyClicks knows only part of ASCII).
inline void TypeText(QWidget *widget, const QString &text)
{
    for (QChar c : text) {
        const int key = c.unicode() < 128 ? c.toUpper().unicode() : int(Qt::Key_unknown);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}
