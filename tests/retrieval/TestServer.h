#pragma once
// Small HTTP and HTTPS servers for the browser tests: cpp-httplib on
// 127.0.0.1 (a free port), served from a thread of the test process, plus
// the event-loop helpers the tests wait with.

#include "EventLoopWait.h"

#include <httplib.h>

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <memory>
#include <ostream>
#include <string>
#include <thread>

class TestServer {
public:
    // HTTPS when a certificate and key file are given.
    explicit TestServer(const std::string &certFile = {}, const std::string &keyFile = {});
    ~TestServer();
    httplib::Server &http() { return *server_; }
    // Starts listening; call after the handlers are registered.
    void Start();
    int Port() const { return port_; }
    QUrl Url(const QString &path) const;

private:
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    bool tls_ = false;
};

// Readable values in test failure messages.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QByteArray &b, std::ostream *os)
{
    *os << '"' << b.toStdString() << '"';
}
inline void PrintTo(const QUrl &u, std::ostream *os)
{
    *os << u.toString().toStdString();
}
