#pragma once
// What the request engine asks of the window that hosts its browser: the
// dialogs the browser raises on it (the window itself is never shown). The tray program gives the engine a
// BrowserWindow; without a host (saldomat-cli) the engine answers the proxy logon headless, with the stored proxy
// credentials.

#include <QString>

class QNetworkProxy;
class QUrl;

class BrowserDialogHost {
public:
    virtual ~BrowserDialogHost() = default;

    // The proxy logon prompt, modal. true when it was confirmed; user and
    // password are what was entered into it.
    virtual bool AskProxyLogon(const QNetworkProxy &proxy, QString &user, QString &password) = 0;
};
