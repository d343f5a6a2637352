#include "NoSecondRun.h"

#include "AtomicFile.h"
#include "Failure.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
const char *const kWords[] = {"Close", "QueryNow", "QueryOnlyBad"};
constexpr char kDone[] = "done\n";
constexpr char kFailed[] = "failed\n";

// A folder that exists, is no link, belongs to this user and is closed to
// everybody else.
bool isPrivateFolder(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat st { };
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid()
        && (st.st_mode & (S_IRWXG | S_IRWXO)) == 0;
#else
    return QFileInfo(path).isDir();
#endif
}

// Whether the other end of a connected local socket runs as this user.
bool peerIsThisUser(const QLocalSocket &socket)
{
#ifdef Q_OS_LINUX
    ucred cred{};
    socklen_t size = sizeof cred;
    return ::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &cred, &size) == 0
        && cred.uid == ::geteuid();
#else
    Q_UNUSED(socket);
    return true;
#endif
}
}  // namespace

QStringList CommandWords(const QStringList &arguments)
{
    QStringList words;
    for (const char *word : kWords) {
        for (const QString &arg : arguments) {
            if (arg.size() > 1 && (arg.front() == QLatin1Char('-') || arg.front() == QLatin1Char('/'))
                && arg.mid(1).compare(QLatin1String(word), Qt::CaseInsensitive) == 0) {
                words << QLatin1String(word);
                break;
            }
        }
    }
    return words;
}

NoSecondRun::NoSecondRun(const QString &caption, QObject *parent) : QObject(parent), caption_(caption)
{
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    server_.setMaxPendingConnections(MaxConnections);
    connect(&server_, &QLocalServer::newConnection, this, &NoSecondRun::onConnection);
}

NoSecondRun::~NoSecondRun()
{
    // The connections count down as they go: let them go while the count is there.
    qDeleteAll(server_.findChildren<QLocalSocket *>());
}

QString NoSecondRun::ChannelDirectory()
{
    // $XDG_RUNTIME_DIR is the user's own and closed to others; without it, a
    // folder of the user's own (never a shared one such as /tmp, where another
    // user could take the name first).
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && isPrivateFolder(runtime))
        return QDir::cleanPath(runtime);
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty())
        throw SaldomatError(QStringLiteral("нет личной папки пользователя для канала программы"));
    const QString folder = cache + QStringLiteral("/saldomat");
    MakePrivateDirectory(folder);
#ifdef Q_OS_UNIX
    struct stat st { };
    const QByteArray name = QFile::encodeName(folder);
    if (::lstat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid())
        ::chmod(name.constData(), S_IRWXU);
#endif
    if (!isPrivateFolder(folder))
        throw SaldomatError(QStringLiteral("папка \"%1\" доступна другим пользователям").arg(folder));
    return folder;
}

QString NoSecondRun::ServerName(const QString &caption)
{
    const QByteArray key = caption.toUtf8();
    return ChannelDirectory() + QStringLiteral("/saldomat-")
        + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16));
}

bool NoSecondRun::Claim()
{
    return guarded(THIS_ROUTINE, [&] {
        const QString name = ServerName(caption_);
        // Held for the whole run. A copy that died leaves a lock whose process
        // is gone, and QLockFile takes that over; a live holder is never timed
        // out. The host's name keeps copies on two machines sharing a home apart.
        lock_ = std::make_unique<QLockFile>(name + QLatin1Char('-') + QSysInfo::machineHostName()
                                            + QStringLiteral(".lock"));
        lock_->setStaleLockTime(0);
        if (!lock_->tryLock(0)) {
            if (lock_->error() == QLockFile::LockFailedError)
                return false;
            throw SaldomatError(QStringLiteral("не удалось создать блокировку \"%1\"").arg(name));
        }
        // Whatever socket is there belongs to a copy that died.
        QLocalServer::removeServer(name);
        if (!server_.listen(name))
            throw SaldomatError(QStringLiteral("не удалось открыть канал \"%1\": %2").arg(name, server_.errorString()));
        return true;
    });
}

bool NoSecondRun::Forward(const QStringList &commands, int timeoutMs)
{
    return guarded(THIS_ROUTINE, [&] {
        if (commands.isEmpty())
            return true;
        const QString name = ServerName(caption_);
        QLocalSocket socket;
        // The running copy may hold the lock and not yet listen: give it a moment.
        QDeadlineTimer deadline(5000);
        for (;;) {
            socket.connectToServer(name);
            if (socket.waitForConnected(1000))
                break;
            if (deadline.hasExpired())
                return false;
            QThread::msleep(50);
        }
        if (!peerIsThisUser(socket))
            return false;
        for (const QString &command : commands) {
            socket.write(command.toUtf8() + '\n');
            if (!socket.waitForBytesWritten(2000))
                return false;
            while (!socket.canReadLine()) {
                if (!socket.waitForReadyRead(timeoutMs))
                    return false;
            }
            if (socket.readLine(64) != kDone)
                return false;
        }
        socket.disconnectFromServer();
        return true;
    });
}

void NoSecondRun::onConnection()
{
    while (QLocalSocket *socket = server_.nextPendingConnection()) {
        if (connections_ >= MaxConnections || !peerIsThisUser(*socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++connections_;
        connect(socket, &QObject::destroyed, this, [this] { --connections_; });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        socket->setReadBufferSize(MaxCommandBytes + 1);
        // A connection that sends no whole command in time is cut off, so a
        // silent one never holds a place.
        auto *idle = new QTimer(socket);
        idle->setSingleShot(true);
        connect(idle, &QTimer::timeout, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        idle->start(CommandTimeoutMs);
        connect(socket, &QLocalSocket::readyRead, this, [this, idle, guard = QPointer<QLocalSocket>(socket)] {
            // One command per line; the answer goes back when the handler is done,
            // also when it failed (the failure is in the log).
            while (guard && guard->canReadLine()) {
                const QByteArray line = guard->readLine(MaxCommandBytes + 1);
                if (!line.endsWith('\n')) {
                    guard->abort();
                    guard->deleteLater();
                    return;
                }
                idle->stop();
                const QString command = QString::fromUtf8(line).trimmed();
                bool done = true;
                if (!CommandWords({QLatin1Char('-') + command}).isEmpty() && handler_) {
                    done = false;
                    runHandler(ROUTINE("WndProc"), [&] { done = handler_(command); });
                }
                if (!guard)
                    return;
                if (guard->state() == QLocalSocket::ConnectedState)
                    guard->write(done ? kDone : kFailed), guard->flush();
                idle->start(CommandTimeoutMs);
            }
            if (guard && guard->bytesAvailable() > MaxCommandBytes) {
                guard->abort();
                guard->deleteLater();
            }
        });
    }
}
