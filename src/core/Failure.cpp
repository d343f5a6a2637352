#include "Failure.h"

#include "Common.h"

#include <cstring>

QString failureText(const std::exception &e)
{
    if (auto *own = dynamic_cast<const SaldomatError *>(&e))
        return own->message();
    return QString::fromLocal8Bit(e.what());
}

QString FailureLabel::text() const
{
    const char *dot = std::strchr(file, '.');
    const QString unit = QString::fromUtf8(file, dot ? dot - file : -1);
    return unit + QLatin1Char('.') + QString::fromUtf8(routine);
}

QString labelledText(const FailureLabel &label, const QString &text)
{
    return label.text() + QStringLiteral(" -- > ") + text;
}

QString labelledText(const FailureLabel &label, const std::exception &e)
{
    return labelledText(label, failureText(e));
}

void rethrowLabelled(const FailureLabel &label, const std::exception &e)
{
    throw SaldomatError(labelledText(label, e));
}

void rethrowLabelledUnknown(const FailureLabel &label)
{
    throw SaldomatError(labelledText(label, QStringLiteral("unknown failure")));
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

void MainException(const FailureLabel &label, const std::exception &e)
{
    MainException(labelledText(label, e));
}
