#pragma once
// Helpers of the dialog tests: waiting with the event loop running, a
// tinyproxy with basic authentication on 127.0.0.1 (both shared with other
// suites) and a proxy that refuses every logon.

#include "EventLoopWait.h"
#include "TinyProxy.h"

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
