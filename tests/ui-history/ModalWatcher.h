#pragma once
// Answers the modal windows that a test's action opens: each one is recorded
// (its class, title and text) and closed with the next answer of the queue.

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>

struct SeenModal {
    QString className;
    QString text;  // a message box's text, a history window's header
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

class ModalWatcher : public QObject {
public:
    ModalWatcher();
    // For message boxes: the buttons to press, in order (Ok when the queue is empty).
    void answer(QMessageBox::StandardButton button) { answers_ << button; }
    // Called with any other modal window before it is closed.
    void onWindow(std::function<void(QWidget *)> inspect) { inspect_ = std::move(inspect); }
    const QList<SeenModal> &seen() const { return seen_; }

private:
    void poll();
    QTimer timer_;
    QList<QMessageBox::StandardButton> answers_;
    QList<SeenModal> seen_;
    std::function<void(QWidget *)> inspect_;
};
