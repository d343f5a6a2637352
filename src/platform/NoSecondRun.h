#pragma once
// One running copy per user. The running copy holds a lock file and listens on
// a local socket, both in a folder that only the user can enter
// ($XDG_RUNTIME_DIR, else a 0700 folder in the user's cache folder); a later
// copy finds the lock taken, connects, forwards its command words one at a time
// and waits for each answer before it quits. The lock, not the socket, decides
// who runs: nothing another process does to the socket starts a second copy.

#include <QLocalServer>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

class QLockFile;

// The command words of a command line ("-Close", "/querynow", ...), in the fixed
// order Close, QueryNow, QueryOnlyBad, each at most once.
QStringList CommandWords(const QStringList &arguments);

class NoSecondRun : public QObject {
    Q_OBJECT
public:
    // handler runs in the running copy for every command received and says
    // whether the command was carried out; the sender gets its answer only
    // when the handler has returned.
    using Handler = std::function<bool(const QString &command)>;

    // A command line longer than this, or a connection that sends no whole
    // command for this long, is cut off.
    static constexpr int MaxCommandBytes = 256;
    static constexpr int CommandTimeoutMs = 1000;
    static constexpr int MaxConnections = 8;

    explicit NoSecondRun(const QString &caption, QObject *parent = nullptr);
    ~NoSecondRun() override;
    // The user's private folder of the channel (created when missing); throws
    // when no such folder can be had.
    static QString ChannelDirectory();
    // The full path of the socket.
    static QString ServerName(const QString &caption);

    // True when this process is now the running copy (it holds the lock and
    // listens); false when another copy runs. A lock or socket left behind by a
    // killed copy is taken over.
    bool Claim();
    // Sends each command to the running copy and waits for its answer.
    // False when the running copy could not be reached or a command failed.
    bool Forward(const QStringList &commands, int timeoutMs = -1);
    void SetHandler(Handler handler) { handler_ = std::move(handler); }

private:
    void onConnection();
    QString caption_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer server_;
    Handler handler_;
    int connections_ = 0;
};
