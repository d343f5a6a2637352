#pragma once
// Our script-free web browser: fetches pages with QNetworkAccessManager and
// parses them with libxml2 (HtmlDocument). No cache, redirects followed up to
// a bound, proxies from the system configuration or set explicitly, TLS always
// verified (certificate errors fail the navigation), answers limited in size,
// frames and iframes loaded as documents of their own after the top document,
// meta refresh followed a few hops. Scripts never run.
//
// Everything runs on the thread that owns the browser; signals are emitted
// from the event loop.

#include "HtmlDocument.h"

#include <QAuthenticator>
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QNetworkProxy>
#include <QObject>
#include <QSslConfiguration>
#include <QSslError>
#include <QTimer>
#include <QUrl>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkCookieJar;
class QNetworkReply;
class AnswerInflater;

class WebBrowser : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kDefaultMaxAnswerBytes = 8 * 1024 * 1024;
    static constexpr int kDefaultMaxRedirects = 10;
    static constexpr int kMaxMetaRefreshHops = 3;
    static constexpr int kDefaultMetaRefreshDelayMs = 1000;
    static constexpr int kMaxFrames = 16;
    static constexpr int kMaxFrameDepth = 3;

    explicit WebBrowser(QObject *parent = nullptr);
    ~WebBrowser() override;

    // A new navigation of the top document; whatever is loading is abandoned.
    void Navigate(const QUrl &url);
    // POST with an application/x-www-form-urlencoded body; carriesPassword
    // marks a body with a password in it (see SetPlainPasswordAllowed).
    void NavigatePost(const QUrl &url, const QByteArray &body, bool carriesPassword = false);
    // Sends a form submission built from a document at `from`. A form that
    // would put a filled password field into the address (method GET) is
    // sent as a POST instead: addresses end up in logs and histories.
    void Submit(const FormRequest &request, const QUrl &from);
    // Abandons every load and a pending meta refresh; no signal follows for
    // them. The documents already completed stay available.
    void Stop();
    // Stop(), then a fresh empty cookie jar, no open connections, no documents.
    void ResetSession();
    // True while a document or frame loads or a meta refresh is pending.
    bool IsBusy() const;

    // The document completed last (inside DocumentComplete: the one signalled,
    // a frame's own document for a frame); null before the first one.
    std::shared_ptr<HtmlDocument> Document() const { return current_; }
    // The top document completed last.
    std::shared_ptr<HtmlDocument> TopDocument() const { return top_; }
    // HTTP status and reason phrase of the document Document() returns (0 and
    // empty for a local file).
    int Status() const { return status_; }
    QString StatusReason() const { return statusReason_; }

    // Proxies: the system configuration (environment http_proxy, https_proxy,
    // no_proxy on Linux) is the default; SetProxy fixes one proxy instead
    // (QNetworkProxy::NoProxy for a direct connection).
    void UseSystemProxy();
    void SetProxy(const QNetworkProxy &proxy);
    // Certificates of additional trusted authorities (PEM file), on top of the
    // system's. An empty path removes them. false when the file holds none.
    bool SetExtraCaFile(const QString &path);
    void SetMaxAnswerBytes(qint64 bytes) { maxAnswerBytes_ = bytes; }
    void SetMaxRedirects(int count) { maxRedirects_ = count; }
    // A load that receives nothing for this long fails; 0 (default) = no bound.
    void SetInactivityTimeout(int ms) { inactivityMs_ = ms; }
    // Upper bound of the wait before a meta refresh is followed.
    void SetMetaRefreshDelayLimit(int ms) { refreshDelayLimitMs_ = ms; }
    void SetUserAgent(const QByteArray &userAgent) { userAgent_ = userAgent; }
    // A request that carries a password (a form with a filled password field
    // or a POST body marked so) goes only to http or https addresses, never
    // from a secure page or request to a plain http:// one, and to a plain
    // one only when allowed here (default: no). Otherwise the navigation
    // fails with NavigationError before anything is sent.
    void SetPlainPasswordAllowed(bool allowed) { plainPasswordAllowed_ = allowed; }

Q_SIGNALS:
    // A document completed: the top document first, then each frame and
    // iframe as it completes. url is the document's final address.
    void DocumentComplete(const QUrl &url);
    // The top navigation failed (network, TLS, too many redirects, answer too
    // large); url is the address that failed.
    void NavigationError(const QUrl &url, const QString &message);
    // A frame or iframe failed; the top document stays complete.
    void FrameError(const QUrl &url, const QString &message);
    // A proxy asks for a logon: fill the authenticator (directly connected
    // slot) or leave it empty to let the load fail.
    void ProxyAuthenticationRequired(const QNetworkProxy &proxy, QAuthenticator *authenticator);
    // The proxy refused the name and password given to it: an answer 407, or
    // 401 once a proxy logon was given in this session (some proxies, such as
    // tinyproxy, answer a wrong logon so). Qt does not ask again; the load
    // fails and NavigationError follows.
    void ProxyLogonRefused(const QUrl &url);

private:
    struct Load {
        QUrl url;
        bool post = false;
        QByteArray body;
        bool carriesPassword = false;
        bool fromSecure = false;  // made by a secure page or request
        bool top = true;
        int depth = 0;
        int redirects = 0;
        QByteArray data;
        QList<QSslError> sslErrors;
        // Inflates a compressed answer as it arrives (null when not compressed).
        std::shared_ptr<AnswerInflater> inflater;
    };

    void StartTop(const QUrl &url, bool post, const QByteArray &body, bool fromRefresh, bool carriesPassword = false,
                  bool fromSecure = false);
    void Start(Load load);
    void OnReadyRead(QNetworkReply *reply);
    // Appends what the reply has to the load's data, inflated; false (and the
    // load failed) when it passes the size limit or cannot be inflated.
    bool TakeData(QNetworkReply *reply, Load &load);
    void OnMetaData(QNetworkReply *reply);
    void OnFinished(QNetworkReply *reply);
    void Fail(QNetworkReply *reply, const QString &message);
    void Failed(const Load &load, const QString &message);
    void Completed(Load &load, QNetworkReply *reply);
    void AbortAll();
    QString TooLargeMessage(const QUrl &url) const;

    QNetworkAccessManager *Nam();
    QNetworkAccessManager *nam_ = nullptr;
    QHash<QNetworkReply *, Load> loads_;
    std::shared_ptr<HtmlDocument> top_;
    std::shared_ptr<HtmlDocument> current_;
    std::optional<QSslConfiguration> ssl_;  // made at the first secure address
    QList<QSslCertificate> extraCa_;
    QTimer refreshTimer_;
    QUrl refreshUrl_;
    quint64 generation_ = 0;
    int refreshHops_ = 0;
    bool proxyLogonGiven_ = false;
    bool plainPasswordAllowed_ = false;
    int status_ = 0;
    QString statusReason_;
    int framesStarted_ = 0;
    qint64 maxAnswerBytes_ = kDefaultMaxAnswerBytes;
    int maxRedirects_ = kDefaultMaxRedirects;
    int inactivityMs_ = 0;
    int refreshDelayLimitMs_ = kDefaultMetaRefreshDelayMs;
    QByteArray userAgent_;
};
