#pragma once
// A tinyproxy on a free port of 127.0.0.1 for the proxy tests. Header only: it
// needs Qt Network, which only the suites that use it link.

#include "EventLoopWait.h"
#include "TestHome.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

class TinyProxy {
public:
    ~TinyProxy()
    {
        process_.terminate();
        if (!process_.waitForFinished(3000))
            process_.kill(), process_.waitForFinished(3000);
    }
    static bool Installed() { return !QStandardPaths::findExecutable(QStringLiteral("tinyproxy")).isEmpty(); }
    // Starts tinyproxy on a free port of 127.0.0.1 accepting only user:password
    // (no logon required when user is empty). The port, 0 on failure.
    int Start(const QByteArray &user = {}, const QByteArray &password = {})
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 port = probe.serverPort();
        probe.close();
        const QString conf = dir_.filePath(QStringLiteral("tinyproxy.conf"));
        WriteFileBytes(conf,
                       "Port " + QByteArray::number(port)
                           + "\nListen 127.0.0.1\nTimeout 20\nMaxClients 20\nAllow 127.0.0.1\nLogLevel Critical\n"
                           + (user.isEmpty() ? QByteArray() : "BasicAuth " + user + " " + password + "\n"));
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral("tinyproxy"), {QStringLiteral("-d"), QStringLiteral("-c"), conf});
        const auto listening = [&] {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port);
            return socket.waitForConnected(200);
        };
        return process_.waitForStarted(5000) && WaitUntil(listening, 5000) ? port : 0;
    }

private:
    QTemporaryDir dir_;
    QProcess process_;
};
