#pragma once
// Failure labels: every routine of the program runs its body through guarded(),
// which rethrows any failure with "Unit.Routine -- > " in front of the message.
// A failure deep down therefore reaches the outermost handler (MainException)
// with the whole path of routines in its message, innermost routine last.

#include <QString>
#include <exception>
#include <string>
#include <type_traits>
#include <utility>

class SaldomatError : public std::exception {
public:
    explicit SaldomatError(QString message) : message_(std::move(message)), utf8_(message_.toStdString()) {}
    const QString &message() const noexcept { return message_; }
    const char *what() const noexcept override { return utf8_.c_str(); }

private:
    QString message_;
    std::string utf8_;
};

// The text of any exception as the log should show it.
QString failureText(const std::exception &e);
// "label -- > " + the exception's text: the chain guarded() builds.
QString labelledText(const char *label, const std::exception &e);

// Throws SaldomatError with the label chain "label -- > " + message.
[[noreturn]] void rethrowLabelled(const char *label, const std::exception &e);
[[noreturn]] void rethrowLabelledUnknown(const char *label);

// Runs body(); on failure rethrows with the routine's label in front.
// label is "Unit.Routine" without the arrow.
template <class Body>
auto guarded(const char *label, Body &&body) -> decltype(body())
{
    try {
        return body();
    } catch (const std::exception &e) {
        rethrowLabelled(label, e);
    } catch (...) {
        rethrowLabelledUnknown(label);
    }
}

// The outermost handler: appends the message to the error log. Never throws.
void MainException(const QString &message);
void MainException(const std::exception &e);
// Logs a failure caught inside the routine `label` ("Unit.Routine").
void MainException(const char *label, const std::exception &e);

// Runs body() and hands any failure to MainException: for slots, timer handlers
// and event handlers, so that no exception ever crosses the Qt event loop.
template <class Body>
void runHandler(const char *label, Body &&body) noexcept
{
    try {
        guarded(label, std::forward<Body>(body));
    } catch (const std::exception &e) {
        MainException(e);
    }
}
