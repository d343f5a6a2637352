#include "DialogTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <memory>

RefusingProxy::RefusingProxy() : server_(new QTcpServer)
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
