#include "Failure.h"

#include "Common.h"

QString failureText(const std::exception &e)
{
    if (auto *own = dynamic_cast<const SaldomatError *>(&e))
        return own->message();
    return QString::fromLocal8Bit(e.what());
}

namespace {
QString labelled(const char *label, const QString &text)
{
    return QString::fromUtf8(label) + QStringLiteral(" -- > ") + text;
}
}  // namespace

QString labelledText(const char *label, const std::exception &e)
{
    return labelled(label, failureText(e));
}

void rethrowLabelled(const char *label, const std::exception &e)
{
    throw SaldomatError(labelledText(label, e));
}

void rethrowLabelledUnknown(const char *label)
{
    throw SaldomatError(labelled(label, QStringLiteral("unknown failure")));
}

void MainException(const QString &message)
{
    try {
        AppendStringToFile(message, ErrorLogFileName());
    } catch (...) {
        // The log itself cannot be written: there is nowhere left to report to.
    }
}

void MainException(const std::exception &e)
{
    MainException(failureText(e));
}

void MainException(const char *label, const std::exception &e)
{
    MainException(labelledText(label, e));
}
