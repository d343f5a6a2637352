#pragma once
// Helpers of the dialog tests: waiting with the event loop running, and a
// tinyproxy with basic authentication on 127.0.0.1.

#include <QProcess>
#include <QTemporaryDir>
#include <functional>

// Runs the event loop until done() holds or ms have passed; done()'s last value.
bool WaitUntil(const std::function<bool()> &done, int ms = 5000);
// Runs the event loop for ms.
void Pump(int ms);

class TinyProxy {
public:
    TinyProxy() = default;
    ~TinyProxy();
    static bool Installed();
    // Starts tinyproxy on a free port of 127.0.0.1 accepting only user:password
    // (no logon required when user is empty). The port, 0 on failure.
    int Start(const QByteArray &user, const QByteArray &password);
    int port() const { return port_; }

private:
    QTemporaryDir dir_;
    QProcess process_;
    int port_ = 0;
};

class QTcpServer;

// A proxy on 127.0.0.1 that refuses every request with 407 and a request for
// basic authentication, counting requests and those that offered a logon.
class RefusingProxy {
public:
    RefusingProxy();
    ~RefusingProxy();
    int port() const;
    int requests = 0;
    int withLogon = 0;

private:
    QTcpServer *server_;
};
