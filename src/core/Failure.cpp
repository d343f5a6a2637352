#include "Failure.h"

#include "Common.h"

QString failureText(const std::exception &e)
{
    if (auto *own = dynamic_cast<const SaldomatError *>(&e))
        return own->message();
    return QString::fromLocal8Bit(e.what());
}

void rethrowLabelled(const char *label, const std::exception &e)
{
    throw SaldomatError(QString::fromUtf8(label) + QStringLiteral(" -- > ") + failureText(e));
}

void rethrowLabelledUnknown(const char *label)
{
    throw SaldomatError(QString::fromUtf8(label) + QStringLiteral(" -- > ") + QStringLiteral("unknown failure"));
}

void MainException(const QString &message)
{
    try {
        AppendStringToFile(message, ErrFileName);
    } catch (...) {
        // The log itself cannot be written: there is nowhere left to report to.
    }
}

void MainException(const std::exception &e)
{
    MainException(failureText(e));
}
