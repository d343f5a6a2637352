#include "DialogTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <memory>

bool WaitUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

void Pump(int ms)
{
    WaitUntil([] { return false; }, ms);
}

TinyProxy::~TinyProxy()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
}

bool TinyProxy::Installed()
{
    return !QStandardPaths::findExecutable(QStringLiteral("tinyproxy")).isEmpty();
}

int TinyProxy::Start(const QByteArray &user, const QByteArray &password)
{
    int port = 0;
    {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0))
            return 0;
        port = probe.serverPort();
    }
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
    if (!process_.waitForStarted(5000))
        return 0;
    const bool listening = WaitUntil(
        [&] {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, quint16(port));
            return socket.waitForConnected(200);
        },
        5000);
    port_ = listening ? port : 0;
    return port_;
}

RefusingProxy::RefusingProxy()
    : server_(new QTcpServer)
{
    server_->listen(QHostAddress::LocalHost, 0);
    QObject::connect(server_, &QTcpServer::newConnection, server_, [this] {
        while (QTcpSocket *socket = server_->nextPendingConnection()) {
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
                *buffer += socket->readAll();
                while (true) {
                    const qsizetype end = buffer->indexOf("\r\n\r\n");
                    if (end < 0)
                        return;
                    const QByteArray head = buffer->left(end).toLower();
                    buffer->remove(0, end + 4);
                    ++requests;
                    if (head.contains("\r\nproxy-authorization:"))
                        ++withLogon;
                    socket->write("HTTP/1.1 407 Proxy Authentication Required\r\n"
                                  "Proxy-Authenticate: Basic realm=\"test\"\r\n"
                                  "Content-Type: text/html\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                    socket->disconnectFromHost();
                    return;
                }
            });
        }
    });
}

RefusingProxy::~RefusingProxy()
{
    delete server_;
}

int RefusingProxy::port() const
{
    return server_->serverPort();
}
