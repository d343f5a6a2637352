#pragma once
// TfrmWB: the request engine. For each phone it logs in to the phone's regional
// ISSA through our browser until the page classification has recognised the
// account page or an error page (or the time limit or a stop ends it), and
// leaves the outcome in the phone table. Nothing blocks: a run goes on in the
// event loop, one phone after the other, driven by the browser's signals and
// the engine's timers; one run at a time.

#include "Common.h"
#include "IssaUrl.h"
#include "PhoneTable.h"

#include <QObject>
#include <QTimer>
#include <QUrl>
#include <array>
#include <memory>

class BrowserDialogHost;
class HtmlDocument;
class QAuthenticator;
class QNetworkProxy;
class TmdbStore;
struct TProgramState;
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
    // Reads the phones and settings of the state and writes its phone table.
    explicit TfrmWB(TProgramState &state, QObject *parent = nullptr);
    ~TfrmWB() override;

    // Starts a run and returns at once; runFinished() follows when it has
    // ended. Mode 0 all phones, 1 the phones whose last request failed, 2
    // only `slot`. An automatic repeat (retryAuthErrors false) leaves out the
    // phones whose last error was a refused password: retrying does not mend
    // a wrong password, and operators lock accounts after repeated failures.
    // false, and nothing changes, while a run is going on: runs never nest.
    bool RequestInformation(int mode, int slot = 0, bool retryAuthErrors = true);
    // Ends the phone being asked ("Запрос остановлен пользователем") and the
    // run before it returns; runFinished() is emitted from inside.
    void StopRequest();
    bool IsRunning() const { return running_; }
    // Set by StopRequest, until the next run starts.
    bool Stopped() const { return stopped_; }
    // While the setup dialog is open a run passes over every phone.
    void SetSetupDialogOpen(bool open) { setupDialogOpen_ = open; }

    static int WhatKindOfFile(const QString &html, const QUrl &url);
    static void AddLoadedPage(QStringList &pages, const QString &text);
    // Writes a page to "yy-mm-dd_hh-nn-ss-zzz.html" in the folder `dir`.
    static void SaveHtmlLog(const QString &dir, const QString &text);
    // A page as it may be kept: values of password fields emptied, values of
    // `passwordName` (and "password") in addresses masked.
    static QString MaskPasswords(const QString &html, const QString &passwordName);

    // The history store, when the history is available (not owned).
    void SetStore(TmdbStore *store) { store_ = store; }
    // Limits, shortened by the command-line tool and the tests.
    void SetTimeOutMs(int ms) { timeOutMs_ = ms; }
    // The pause between two phones.
    void SetPauseMs(int ms) { pauseMs_ = ms; }
    // The wait before a login form is filled in and sent.
    void SetSubmitDelayMs(int ms) { submitDelayMs_ = ms; }
    // Extra trusted certificate authorities (PEM), for private servers.
    void SetCaCertificates(const QString &pemFile);
    WebBrowser &Browser() { return *WB; }
    // The window hosting the proxy logon dialog (not owned; may be null: then
    // the stored proxy credentials are given without a dialog).
    void SetDialogHost(BrowserDialogHost *host) { dialogHost_ = host; }
    BrowserDialogHost *DialogHost() const { return dialogHost_; }

    // Whether a password may go to a region's plain http:// login address:
    // only on this computer (loopback) or when the region allows it.
    static bool PlainLoginAllowed(const TIssaUrlInfo &region);

Q_SIGNALS:
    // Progress of a run for the tray hint ("Запрос по телефону № ...").
    void progressMessage(const QString &text);
    // The phone table changed: the phones grid should be refreshed.
    void phonesChanged();
    // One phone's row changed (its request started or ended).
    void phoneChanged(int slot);
    void animationStart();
    void animationStop();
    // After each phone: the plain tray icon; after the run: the balance digits.
    void plainTrayIcon();
    void trayPhoneInfoChanged();
    // The run has ended (all phones asked, stopped, or the program ends).
    void runFinished();

private:
    void NextPhone();
    void RequestInfoForPhoneID(int slot, const TIssaUrlInfo &url);
    void RequestIssa();
    void LoadFirstPage(const QString &url);
    void PostWithWebBrowser(const QString &url);
    void SubmitIssa();
    void WBDocumentComplete(const QUrl &url, const std::shared_ptr<HtmlDocument> &document);
    void NavigationFailed(const QUrl &url, const QString &message);
    void ProxyLogon(const QNetworkProxy &proxy, QAuthenticator *authenticator);
    QString proxyRefusedMessage() const;
    void StoreBalance(const QString &html);
    void FailPhone(const QString &message);
    // Ends the phone being asked: its final state, its line in the log.
    void EndPhone();
    void FinishRun();
    void WriteLog(const QString &line);
    bool phoneOpen() const;

    TProgramState &state_;
    std::unique_ptr<WebBrowser> WB;
    QTimer TimeOutTimer;
    QTimer pauseTimer_;  // before the next phone
    QTimer submitTimer_;  // before a login form is filled in
    std::weak_ptr<HtmlDocument> loginPage_;
    TIssaUrlInfo IssaUrlInfo;
    int PhoneID = 0;
    TmdbStore *store_ = nullptr;
    BrowserDialogHost *dialogHost_ = nullptr;
    int proxyLogons_ = 0;  // logons answered for the current phone
    QString proxyName_;  // host:port of the proxy that asked
    bool running_ = false;
    bool stopped_ = false;
    bool setupDialogOpen_ = false;
    int nextSlot_ = 0;  // the next phone of the run to look at
    int lastSlot_ = 0;
    int asked_ = 0;  // phones asked so far in the run
    std::array<bool, IssaSlots + 1> leaveOut_{};
    bool pausePassed_ = false;  // the pause before nextSlot_ is over
    bool credentialsSent_ = false;  // for the phone being asked
    bool logFailed_ = false;  // the log could not be written in this run
    bool pageSaveFailed_ = false;  // a debug page could not be saved in this run
    bool saveLogFiles_ = false;  // the debug switch, read at the start of a run
    int timeOutMs_ = 180000;
    int pauseMs_ = 3000;
    int submitDelayMs_ = 1000;
};
