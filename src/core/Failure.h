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
    explicit SaldomatError(QString message) : message_(std::move(message)), utf8_(message_.toStdString()) { }
    const QString &message() const noexcept { return message_; }
    const char *what() const noexcept override { return utf8_.c_str(); }

private:
    QString message_;
    std::string utf8_;
};

// A failure label, "Unit.Routine": the unit is the name of the source file
// without its extension, the routine the function whose body failed. Labels
// are written only as THIS_ROUTINE (the function around it, by its own name)
// or, for a handler written as a lambda (or one of two routines of one name in
// a file), ROUTINE("name"): the unit is never typed, and the failure_labels
// test checks that no label names two routines.
struct FailureLabel {
    const char *file;  // __FILE_NAME__
    const char *routine;
    QString text() const;  // "Unit.Routine"
};

// Refuses, at compile time, THIS_ROUTINE inside a lambda, whose function is
// "operator()": there the handler is named by ROUTINE("name").
consteval const char *FunctionRoutine(const char *function)
{
    const char lambda[] = "operator()";
    for (int i = 0;; ++i) {
        if (function[i] != lambda[i])
            return function;
        if (!lambda[i])
            throw "THIS_ROUTINE inside a lambda: name the handler with ROUTINE(\"name\")";
    }
}
#define THIS_ROUTINE (FailureLabel{__FILE_NAME__, FunctionRoutine(__func__)})
#define ROUTINE(name) (FailureLabel{__FILE_NAME__, name})

// The text of any exception as the log should show it.
QString failureText(const std::exception &e);
// "label -- > " + the exception's text: the chain guarded() builds.
QString labelledText(const FailureLabel &label, const std::exception &e);
QString labelledText(const FailureLabel &label, const QString &text);

// Throws SaldomatError with the label chain "label -- > " + message.
[[noreturn]] void rethrowLabelled(const FailureLabel &label, const std::exception &e);
[[noreturn]] void rethrowLabelledUnknown(const FailureLabel &label);

// Runs body(); on failure rethrows with the routine's label in front.
template <class Body> auto guarded(const FailureLabel &label, Body &&body) -> decltype(body())
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
// Logs a failure caught inside the routine of label.
void MainException(const FailureLabel &label, const std::exception &e);

// Runs body() and hands any failure to MainException: for slots, timer handlers
// and event handlers, so that no exception ever crosses the Qt event loop.
template <class Body> void runHandler(const FailureLabel &label, Body &&body) noexcept
{
    try {
        guarded(label, std::forward<Body>(body));
    } catch (const std::exception &e) {
        MainException(e);
    }
}
