#include "NoSecondRun.h"

#include "Failure.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>

namespace {
const char *const kWords[] = {"Close", "QueryNow", "QueryOnlyBad"};
constexpr char kAnswer[] = "done\n";

QString userName()
{
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = qEnvironmentVariable("USERNAME");
    return user;
}
}  // namespace

QStringList CommandWords(const QStringList &arguments)
{
    QStringList words;
    for (const char *word : kWords) {
        for (const QString &arg : arguments) {
            if (arg.size() > 1 && (arg.front() == QLatin1Char('-') || arg.front() == QLatin1Char('/')) &&
                arg.mid(1).compare(QLatin1String(word), Qt::CaseInsensitive) == 0) {
                words << QLatin1String(word);
                break;
            }
        }
    }
    return words;
}

NoSecondRun::NoSecondRun(const QString &caption, QObject *parent) : QObject(parent), name_(ServerName(caption))
{
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &NoSecondRun::onConnection);
}

QString NoSecondRun::ServerName(const QString &caption)
{
    const QByteArray key = (caption + QLatin1Char('\n') + userName()).toUtf8();
    return QStringLiteral("saldomat-") + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16));
}

bool NoSecondRun::Claim()
{
    return guarded("NoSecondRun.Claim", [&] {
        // The lock orders copies started at the same moment; QLockFile takes over
        // a lock whose owner has died.
        QLockFile lock(QDir::tempPath() + QLatin1Char('/') + name_ + QStringLiteral(".lock"));
        if (!lock.lock())
            throw SaldomatError(QStringLiteral("не удалось получить блокировку \"%1\"").arg(name_));
        QLocalSocket probe;
        probe.connectToServer(name_);
        if (probe.waitForConnected(2000)) {
            probe.disconnectFromServer();
            return false;
        }
        // Nobody answers: whatever socket file is there belongs to a dead copy.
        QLocalServer::removeServer(name_);
        if (!server_.listen(name_))
            throw SaldomatError(QStringLiteral("не удалось открыть канал \"%1\": %2").arg(name_, server_.errorString()));
        return true;
    });
}

bool NoSecondRun::Forward(const QStringList &commands, int timeoutMs)
{
    return guarded("NoSecondRun.Forward", [&] {
        QLocalSocket socket;
        socket.connectToServer(name_);
        if (!socket.waitForConnected(2000))
            return false;
        for (const QString &command : commands) {
            socket.write(command.toUtf8() + '\n');
            if (!socket.waitForBytesWritten(2000))
                return false;
            while (!socket.canReadLine()) {
                if (!socket.waitForReadyRead(timeoutMs))
                    return false;
            }
            socket.readLine();
        }
        socket.disconnectFromServer();
        return true;
    });
}

void NoSecondRun::onConnection()
{
    while (QLocalSocket *socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, guard = QPointer<QLocalSocket>(socket)] {
            // One command per line; the answer goes back when the handler is done,
            // also when it failed (the failure is in the log).
            while (guard && guard->canReadLine()) {
                const QString command = QString::fromUtf8(guard->readLine()).trimmed();
                if (!CommandWords({QLatin1Char('-') + command}).isEmpty() && handler_)
                    runHandler("NoSecondRun.WndProc", [&] { handler_(command); });
                if (guard && guard->state() == QLocalSocket::ConnectedState)
                    guard->write(kAnswer), guard->flush();
            }
        });
    }
}
