#pragma once
// TfrmWB: the request engine. For each phone it logs in to the phone's regional
// ISSA through our browser, waits until the page classification has recognised
// the account page or an error page (or until the time limit or a stop), and
// leaves the outcome in the phone table.

#include "IssaUrl.h"

#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <memory>

class BrowserDialogHost;
class HtmlDocument;
class QAuthenticator;
class QNetworkProxy;
class TmdbStore;
class WebBrowser;

// Page kinds of the classification.
enum TPageKind {
    pkOther = 0,
    pkLogin = 1,
    pkBalance = 2,
    pkServerError = 3,
    pkUnavailable = 4,
    pkUnknownAccountPage = 5,
    pkAuthError = 6,
    pkSessionExpired = 7,
};

inline constexpr char AuthErrorMsg[] = "Ошибка аутентификации";

// Host of the second operator's self-service site that is logged in to through
// its form page.
inline constexpr char SecondIssaHost[] = "lk.sotovaya-svyaz.example";

class TfrmWB : public QObject {
    Q_OBJECT
public:
    explicit TfrmWB(QObject *parent = nullptr);
    ~TfrmWB() override;

    // A run: mode 0 all phones, 1 the phones whose last request failed, 2 only `slot`.
    // An automatic repeat (retryAuthErrors false) leaves out the phones whose
    // last error was a refused password: retrying does not mend a wrong
    // password, and operators lock accounts after repeated failures.
    void RequestInformation(int mode, int slot = 0, bool retryAuthErrors = true);
    void StopRequest();

    static int WhatKindOfFile(const QString &html, const QUrl &url);
    static void AddLoadedPage(QStringList &pages, const QString &text);
    // Writes a page to "yy-mm-dd_hh-nn-ss-zzz.html" in the program directory.
    static void SaveHtmlLog(const QString &text);

    // The history store, when the history is available (not owned).
    void SetStore(TmdbStore *store) { store_ = store; }
    // Limits, shortened by the command-line tool and the tests.
    void SetTimeOutMs(int ms) { timeOutMs_ = ms; }
    void SetPauseMs(int ms) { pauseMs_ = ms; }
    void SetSettleMs(int ms) { settleMs_ = ms; }
    // Extra trusted certificate authorities (PEM), for private servers.
    void SetCaCertificates(const QString &pemFile);
    WebBrowser &Browser() { return *WB; }
    // The window hosting the browser and its dialogs (not owned; may be null:
    // then proxy logons and notices are answered without dialogs).
    void SetDialogHost(BrowserDialogHost *host) { dialogHost_ = host; }
    BrowserDialogHost *DialogHost() const { return dialogHost_; }

Q_SIGNALS:
    // Progress of a run for the tray hint ("Запрос по телефону № ...").
    void progressMessage(const QString &text);
    // The phone table changed: the phones grid should be refreshed.
    void phonesChanged();
    void animationStart();
    void animationStop();
    // After each phone: the plain tray icon; after the run: the balance digits.
    void plainTrayIcon();
    void trayPhoneInfoChanged();

private:
    void RequestInfoForPhoneID(int slot, const TIssaUrlInfo &url, int pauseMs);
    void RequestIssa();
    void LoadFirstPage(const QString &url);
    void PostWithWebBrowser(const QString &body, const QString &url);
    void SubmitIssa(const std::shared_ptr<HtmlDocument> &document);
    void WBDocumentComplete(const QUrl &url, const std::shared_ptr<HtmlDocument> &document);
    void NavigationFailed(const QUrl &url, const QString &message);
    void ProxyLogon(const QNetworkProxy &proxy, QAuthenticator *authenticator);
    bool PlainPasswordAllowed(const QUrl &url);
    QString proxyRefusedMessage() const;
    void StoreBalance(const QString &html);
    void FailPhone(const QString &message);
    void wakeWaiter();
    bool phoneOpen() const;

    std::unique_ptr<WebBrowser> WB;
    QTimer TimeOutTimer;
    TIssaUrlInfo IssaUrlInfo;
    int PhoneID = 0;
    bool Done = false;
    TmdbStore *store_ = nullptr;
    BrowserDialogHost *dialogHost_ = nullptr;
    int proxyLogons_ = 0;  // logons answered for the current phone
    QString proxyName_;    // host:port of the proxy that asked
    QEventLoop *waiter_ = nullptr;
    bool saveLogFiles_ = false;  // the debug switch, read at the start of a run
    int timeOutMs_ = 180000;
    int pauseMs_ = 3000;
    int settleMs_ = 100;
};
