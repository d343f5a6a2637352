#include "AtomicFile.h"

#include "Failure.h"

#include <QSaveFile>

void WriteFileAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw SaldomatError(QStringLiteral("Не удалось открыть файл \"%1\" для записи: %2").arg(path, file.errorString()));
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw SaldomatError(QStringLiteral("Не удалось записать файл \"%1\": %2").arg(path, reason));
    }
    // QFileDevice buffers the bytes: a full disk shows only when they are
    // flushed, and commit() would rename the short file over the old one.
    if (!file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw SaldomatError(QStringLiteral("Не удалось записать файл \"%1\": %2").arg(path, reason));
    }
    if (!file.commit())
        throw SaldomatError(QStringLiteral("Не удалось сохранить файл \"%1\": %2").arg(path, file.errorString()));
}
