#pragma once
// A tinyproxy on a free port of 127.0.0.1 for the proxy tests, and the port
// helpers it uses. Header only: it needs Qt Network, which only the suites
// that use it link.

#include "EventLoopWait.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

// A port of 127.0.0.1 that was free a moment ago.
inline int FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Waits until something listens on the port of 127.0.0.1.
inline bool WaitForPort(int port, int ms)
{
    return WaitUntil(
        [&] {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, quint16(port));
            return socket.waitForConnected(200);
        },
        ms);
}

class TinyProxy {
public:
    TinyProxy() = default;
    TinyProxy(const TinyProxy &) = delete;
    TinyProxy &operator=(const TinyProxy &) = delete;
    ~TinyProxy()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(3000)) {
                process_.kill();
                process_.waitForFinished(3000);
            }
        }
    }
    static bool Installed() { return !QStandardPaths::findExecutable(QStringLiteral("tinyproxy")).isEmpty(); }
    // Starts tinyproxy on a free port of 127.0.0.1 accepting only user:password
    // (no logon required when user is empty). The port, 0 on failure.
    int Start(const QByteArray &user = {}, const QByteArray &password = {})
    {
        const int port = FreePort();
        if (port <= 0)
            return 0;
        QFile conf(dir_.path() + QStringLiteral("/tinyproxy.conf"));
        if (!conf.open(QIODevice::WriteOnly))
            return 0;
        QByteArray text = "Port " + QByteArray::number(port)
            + "\nListen 127.0.0.1\nTimeout 20\nMaxClients 20\nAllow 127.0.0.1\nLogLevel Critical\n";
        if (!user.isEmpty())
            text += "BasicAuth " + user + " " + password + "\n";
        conf.write(text);
        conf.close();
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral("tinyproxy"), {QStringLiteral("-d"), QStringLiteral("-c"), conf.fileName()});
        if (!process_.waitForStarted(5000) || !WaitForPort(port, 5000))
            return 0;
        port_ = port;
        return port_;
    }
    int port() const { return port_; }

private:
    QTemporaryDir dir_;
    QProcess process_;
    int port_ = 0;
};
