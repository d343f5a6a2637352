#include "AtomicFile.h"

#include "Failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

void WriteFileAtomically(const QString &path, const QByteArray &bytes, FileAccess access)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw SaldomatError(
            QStringLiteral("Не удалось открыть файл \"%1\" для записи: %2").arg(path, file.errorString()));
#ifdef Q_OS_UNIX
    // The temporary file takes the umask's mode, or an old file's mode: the
    // new content becomes private before a byte of it is written.
    if (access == FileAccess::Private && ::fchmod(file.handle(), S_IRUSR | S_IWUSR) != 0) {
        file.cancelWriting();
        throw SaldomatError(QStringLiteral("Не удалось закрыть доступ к файлу \"%1\"").arg(path));
    }
#endif
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

void MakePrivateDirectory(const QString &path)
{
    const QString dir = QDir::cleanPath(QDir(path).absolutePath());
    if (QFileInfo(dir).isDir())
        return;
    QDir().mkpath(QFileInfo(dir).absolutePath());
    QDir().mkdir(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QStringList MakeFilesPrivate(const QStringList &paths)
{
    QStringList changed;
#ifdef Q_OS_UNIX
    for (const QString &path : paths) {
        struct stat st { };
        const QByteArray name = QFile::encodeName(path);
        if (::lstat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode) || (st.st_mode & (S_IRWXG | S_IRWXO)) == 0)
            continue;
        if (::chmod(name.constData(), st.st_mode & S_IRWXU) == 0)
            changed << path;
    }
#else
    Q_UNUSED(paths);
#endif
    return changed;
}

FileStamp StampOfFile(const QString &path)
{
    struct stat st { };
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {true, static_cast<qint64>(st.st_size),
            static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec, static_cast<quint64>(st.st_dev),
            static_cast<quint64>(st.st_ino)};
}
