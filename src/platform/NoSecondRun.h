#pragma once
// One running copy per user. The running copy listens on a local socket named
// after the main caption and the user; a later copy connects, forwards its
// command words one at a time and waits for each answer before it quits.

#include <QLocalServer>
#include <QObject>
#include <QStringList>
#include <functional>

// The command words of a command line ("-Close", "/querynow", ...), in the fixed
// order Close, QueryNow, QueryOnlyBad, each at most once.
QStringList CommandWords(const QStringList &arguments);

class NoSecondRun : public QObject {
    Q_OBJECT
public:
    // handler runs in the running copy for every command received; the sender
    // gets its answer only when the handler has returned.
    using Handler = std::function<void(const QString &command)>;

    explicit NoSecondRun(const QString &caption, QObject *parent = nullptr);
    static QString ServerName(const QString &caption);

    // True when this process is now the running copy (it listens); false when
    // another copy runs. A socket left behind by a killed copy is taken over.
    // Two copies started together end with exactly one running.
    bool Claim();
    // Sends each command to the running copy and waits for its answer.
    // False when the running copy could not be reached.
    bool Forward(const QStringList &commands, int timeoutMs = -1);
    void SetHandler(Handler handler) { handler_ = std::move(handler); }

private:
    void onConnection();
    QString name_;
    QLocalServer server_;
    Handler handler_;
};
