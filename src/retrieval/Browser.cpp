#include "Browser.h"

#include "Failure.h"

#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslCertificate>

#include <zlib.h>

namespace {

// The proxies of the browser's requests: the system configuration, or one
// proxy fixed. A direct plain HTTP connection is named DefaultProxy, not
// NoProxy, where the application's own setting (what Qt's socket resolves
// DefaultProxy to) is a direct connection as well: for NoProxy Qt reads from
// an unbuffered socket, and reads a single chunk of a chunked answer for as
// long as the socket has data, whatever the read buffer size; a fast server's
// one endless chunk piled up by hundreds of megabytes before the size limit
// could cut it. Any other proxy setting gives a socket that reads 64 KiB at a
// time, and the bound holds.
class ProxyChoice : public QNetworkProxyFactory {
public:
    explicit ProxyChoice(std::optional<QNetworkProxy> fixed = std::nullopt) : fixed_(std::move(fixed)) { }

    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override
    {
        QList<QNetworkProxy> proxies = fixed_ ? QList<QNetworkProxy>{*fixed_} : systemProxyForQuery(query);
        if (query.url().scheme() != u"http")
            return proxies;
        for (QNetworkProxy &proxy : proxies) {
            if (proxy.type() == QNetworkProxy::NoProxy && ApplicationGoesDirect(query)) {
                proxy = QNetworkProxy(QNetworkProxy::DefaultProxy);
                break;
            }
        }
        return proxies;
    }

private:
    static bool ApplicationGoesDirect(const QNetworkProxyQuery &query)
    {
        const QList<QNetworkProxy> application = QNetworkProxyFactory::proxyForQuery(
            QNetworkProxyQuery(query.url().host(), query.url().port(80), QString(), QNetworkProxyQuery::TcpSocket));
        return !application.isEmpty() && application.first().type() == QNetworkProxy::NoProxy;
    }

    std::optional<QNetworkProxy> fixed_;
};

// What Qt may hold of an answer not yet read.
constexpr qint64 kReadBufferBytes = 256 * 1024;

bool IsRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

QString Address(const QUrl &url)
{
    return url.toDisplayString(QUrl::RemoveUserInfo);
}

}  // namespace

// gzip or deflate (zlib or raw) answers inflated piece by piece, so that the
// size limit counts the bytes as they come out: Qt would inflate what it got
// in one go, however large.
class AnswerInflater {
public:
    AnswerInflater() { ok_ = inflateInit2(&z_, 15 + 32) == Z_OK; }  // zlib or gzip header
    ~AnswerInflater() { inflateEnd(&z_); }
    AnswerInflater(const AnswerInflater &) = delete;
    AnswerInflater &operator=(const AnswerInflater &) = delete;

    // Appends the inflated input to out, stopping once out holds more than
    // limit bytes. false when the data is not valid.
    bool Feed(const QByteArray &input, QByteArray &out, qint64 limit)
    {
        if (!ok_)
            return false;
        if (ended_)
            return true;
        z_.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(input.constData()));
        z_.avail_in = uInt(input.size());
        char buffer[64 * 1024];
        while (z_.avail_in > 0 || z_.avail_out == 0) {
            z_.next_out = reinterpret_cast<Bytef *>(buffer);
            z_.avail_out = sizeof buffer;
            const int rc = inflate(&z_, Z_NO_FLUSH);
            if (rc == Z_DATA_ERROR && !triedRaw_ && z_.total_out == 0) {
                // "deflate" sent without its zlib header, as some servers do.
                triedRaw_ = true;
                inflateEnd(&z_);
                z_ = z_stream{};
                ok_ = inflateInit2(&z_, -15) == Z_OK;
                return ok_ && Feed(input, out, limit);
            }
            if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
                return false;
            out.append(buffer, qsizetype(sizeof buffer - z_.avail_out));
            if (out.size() > limit || rc == Z_STREAM_END) {
                ended_ = rc == Z_STREAM_END;
                return true;
            }
            if (rc == Z_BUF_ERROR)
                break;
        }
        return true;
    }

private:
    z_stream z_{};
    bool ok_ = false;
    bool ended_ = false;
    bool triedRaw_ = false;
};

WebBrowser::WebBrowser(QObject *parent) : QObject(parent), userAgent_("Mozilla/5.0 (compatible; Saldomat)")
{
    refreshTimer_.setSingleShot(true);
    connect(&refreshTimer_, &QTimer::timeout, this, [this] {
        runHandler(ROUTINE("MetaRefresh"), [&] {
            ++refreshHops_;
            StartTop(refreshUrl_, false, {}, true);
        });
    });
}

WebBrowser::~WebBrowser()
{
    AbortAll();
}

// The network access is set up at the first page: a program that has not
// fetched anything yet carries none of it.
QNetworkAccessManager *WebBrowser::Nam()
{
    if (nam_)
        return nam_;
    nam_ = new QNetworkAccessManager(this);
    nam_->setCookieJar(new QNetworkCookieJar(nam_));
    nam_->setProxyFactory(new ProxyChoice);
    nam_->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    nam_->setAutoDeleteReplies(false);
    connect(nam_, &QNetworkAccessManager::proxyAuthenticationRequired, this,
            [this](const QNetworkProxy &proxy, QAuthenticator *authenticator) {
                Q_EMIT ProxyAuthenticationRequired(proxy, authenticator);
                if (!authenticator->user().isEmpty())
                    proxyLogonGiven_ = true;
            });
    return nam_;
}

void WebBrowser::Navigate(const QUrl &url)
{
    StartTop(url, false, {}, false);
}

void WebBrowser::NavigatePost(const QUrl &url, const QByteArray &body, bool carriesPassword)
{
    StartTop(url, true, body, false, carriesPassword);
}

void WebBrowser::Stop()
{
    AbortAll();
}

void WebBrowser::ResetSession()
{
    AbortAll();
    if (nam_) {
        nam_->setCookieJar(new QNetworkCookieJar(nam_));  // deletes the old jar
        nam_->clearAccessCache();
        nam_->clearConnectionCache();
    }
    proxyLogonGiven_ = false;
    top_.reset();
    current_.reset();
}

bool WebBrowser::IsBusy() const
{
    return !loads_.isEmpty() || refreshTimer_.isActive();
}

void WebBrowser::UseSystemProxy()
{
    Nam()->setProxyFactory(new ProxyChoice);
}

void WebBrowser::SetProxy(const QNetworkProxy &proxy)
{
    Nam()->setProxyFactory(new ProxyChoice(proxy));
}

bool WebBrowser::SetExtraCaFile(const QString &path)
{
    QList<QSslCertificate> certificates;
    if (!path.isEmpty()) {
        certificates = QSslCertificate::fromPath(path, QSsl::Pem);
        if (certificates.isEmpty())
            return false;
    }
    extraCa_ = certificates;
    ssl_.reset();
    if (nam_)
        nam_->clearConnectionCache();
    return true;
}

void WebBrowser::AbortAll()
{
    ++generation_;
    refreshTimer_.stop();
    const QList<QNetworkReply *> replies = loads_.keys();
    loads_.clear();
    for (QNetworkReply *reply : replies) {
        disconnect(reply, nullptr, this, nullptr);
        reply->abort();
        reply->deleteLater();
    }
}

void WebBrowser::StartTop(const QUrl &url, bool post, const QByteArray &body, bool fromRefresh, bool carriesPassword,
                          bool fromSecure)
{
    AbortAll();
    if (!fromRefresh)
        refreshHops_ = 0;
    framesStarted_ = 0;
    Load load;
    load.url = url;
    load.post = post;
    load.body = body;
    load.carriesPassword = carriesPassword;
    load.fromSecure = fromSecure;
    load.top = true;
    Start(std::move(load));
}

void WebBrowser::Submit(const FormRequest &request, const QUrl &from)
{
    const bool fromSecure = from.scheme().compare(u"https", Qt::CaseInsensitive) == 0;
    if (!request.post && request.carriesPassword) {
        QUrl target = request.url;
        const QByteArray fields = target.query(QUrl::FullyEncoded).toLatin1();
        target.setQuery(QString());
        StartTop(target, true, fields, false, true, fromSecure);
        return;
    }
    StartTop(request.url, request.post, request.body, false, request.carriesPassword, fromSecure);
}

void WebBrowser::Start(Load load)
{
    if (load.carriesPassword) {
        const QString scheme = load.url.scheme().toLower();
        QString refusal;
        if (scheme != u"http" && scheme != u"https")
            refusal = QStringLiteral("Пароль не отправлен: адрес %1 не http и не https");
        else if (scheme == u"http" && load.fromSecure)
            refusal = QStringLiteral("Пароль не отправлен: защищённая страница отправляет его на незащищённый "
                                     "адрес %1");
        else if (scheme == u"http" && !plainPasswordAllowed_)
            refusal = QStringLiteral("Пароль не отправлен: соединение с %1 не защищено");
        if (!refusal.isEmpty()) {
            // Failed from the event loop: the caller may still be setting up.
            const quint64 generation = generation_;
            const QString message = refusal.arg(Address(load.url));
            QTimer::singleShot(0, this, [this, generation, load, message] {
                if (generation == generation_)
                    Failed(load, message);
            });
            return;
        }
    }
    QNetworkRequest request(load.url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setRawHeader("Pragma", "no-cache");
    request.setRawHeader("Cache-Control", "no-cache");
    request.setRawHeader("User-Agent", userAgent_);
    request.setRawHeader("Accept", "text/html,application/xhtml+xml,*/*;q=0.8");
    if (load.url.scheme() == u"https") {
        // The TLS library is loaded with the first secure address, not at start.
        if (!ssl_) {
            ssl_ = QSslConfiguration::defaultConfiguration();
            ssl_->addCaCertificates(extraCa_);
        }
        request.setSslConfiguration(*ssl_);
    }
    if (inactivityMs_ > 0)
        request.setTransferTimeout(inactivityMs_);
    // Asked for here, compressed answers are left to us to inflate (see
    // AnswerInflater): the size limit then sees every inflated byte.
    request.setRawHeader("Accept-Encoding", "gzip, deflate");

    QNetworkReply *reply;
    if (load.post) {
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
        reply = Nam()->post(request, load.body);
    } else {
        reply = Nam()->get(request);
    }
    // Qt holds no more than this of an answer that is not read: the size
    // limit below sees every byte as it comes, decoded. Qt passes the bound
    // on to its network thread only once the request has started there, and
    // a request with a body (POST) starts from the event loop, after this
    // call: set only here, the bound would be lost for it, and a fast
    // server's endless answer would pile up by hundreds of megabytes before
    // the limit could cut it. So it is set again from the event loop, behind
    // the start. (For what the bound needs of the proxy setting, see
    // ProxyChoice.)
    reply->setReadBufferSize(kReadBufferBytes);
    QMetaObject::invokeMethod(
        reply, [reply] { reply->setReadBufferSize(kReadBufferBytes); }, Qt::QueuedConnection);
    loads_.insert(reply, std::move(load));
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] { OnReadyRead(reply); });
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] { OnMetaData(reply); });
    // Certificate errors are recorded for the message and never ignored:
    // the handshake fails and nothing of the request is sent.
    connect(reply, &QNetworkReply::sslErrors, this, [this, reply](const QList<QSslError> &errors) {
        auto it = loads_.find(reply);
        if (it != loads_.end())
            it->sslErrors += errors;
    });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply] { runHandler(ROUTINE("DocumentLoaded"), [&] { OnFinished(reply); }); });
}

QString WebBrowser::TooLargeMessage(const QUrl &url) const
{
    const QString limit = maxAnswerBytes_ % (1024 * 1024) == 0
        ? QStringLiteral("%1 МБ").arg(maxAnswerBytes_ / (1024 * 1024))
        : QStringLiteral("%1 байт").arg(maxAnswerBytes_);
    return QStringLiteral("Ответ сервера больше %1, загрузка прервана: %2").arg(limit, Address(url));
}

void WebBrowser::OnMetaData(QNetworkReply *reply)
{
    auto it = loads_.find(reply);
    if (it == loads_.end())
        return;
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > maxAnswerBytes_)
        Fail(reply, TooLargeMessage(reply->url()));
}

void WebBrowser::OnReadyRead(QNetworkReply *reply)
{
    auto it = loads_.find(reply);
    if (it == loads_.end())
        return;
    TakeData(reply, *it);
}

bool WebBrowser::TakeData(QNetworkReply *reply, Load &load)
{
    const QByteArray encoding = reply->rawHeader("Content-Encoding").trimmed().toLower();
    const bool compressed = encoding == "gzip" || encoding == "x-gzip" || encoding == "deflate";
    if (!compressed && !encoding.isEmpty() && encoding != "identity") {
        Fail(reply,
             QStringLiteral("Ответ сервера сжат неизвестным способом (%1): %2")
                 .arg(QString::fromLatin1(encoding), Address(reply->url())));
        return false;
    }
    const QByteArray bytes = reply->readAll();
    if (compressed) {
        if (!load.inflater)
            load.inflater = std::make_shared<AnswerInflater>();
        if (!load.inflater->Feed(bytes, load.data, maxAnswerBytes_)) {
            Fail(reply, QStringLiteral("Сжатый ответ сервера повреждён: %1").arg(Address(reply->url())));
            return false;
        }
    } else {
        load.data += bytes;
    }
    if (load.data.size() > maxAnswerBytes_) {
        Fail(reply, TooLargeMessage(reply->url()));
        return false;
    }
    return true;
}

void WebBrowser::Fail(QNetworkReply *reply, const QString &message)
{
    const Load load = loads_.take(reply);
    disconnect(reply, nullptr, this, nullptr);
    reply->abort();
    reply->deleteLater();
    Failed(load, message);
}

void WebBrowser::Failed(const Load &load, const QString &message)
{
    if (load.top) {
        AbortAll();
        Q_EMIT NavigationError(load.url, message);
    } else {
        Q_EMIT FrameError(load.url, message);
    }
}

void WebBrowser::OnFinished(QNetworkReply *reply)
{
    auto it = loads_.find(reply);
    if (it == loads_.end())
        return;
    Load load = std::move(*it);
    loads_.erase(it);
    reply->deleteLater();
    disconnect(reply, nullptr, this, nullptr);

    const QVariant statusAttr = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int status = statusAttr.isValid() ? statusAttr.toInt() : 0;
    if (status == 407 || (status == 401 && proxyLogonGiven_)) {
        // The proxy's own answer is no document of the site.
        if (!proxyLogonGiven_) {
            Failed(load,
                   QStringLiteral("Прокси-сервер требует имя и пароль, вход не выполнен: %1").arg(Address(load.url)));
            return;
        }
        if (load.top) {
            QPointer<WebBrowser> self(this);
            const quint64 generation = generation_;
            Q_EMIT ProxyLogonRefused(load.url);
            if (!self || generation != generation_)
                return;
        }
        Failed(
            load,
            QStringLiteral("Прокси-сервер не принял имя и пароль (ответ %1): %2").arg(status).arg(Address(load.url)));
        return;
    }
    const QNetworkReply::NetworkError error = reply->error();
    // An HTTP error status (4xx, 5xx) with its page is a document like any
    // other; network, proxy and protocol failures end the load.
    const bool httpStatusError = status >= 400
        && ((error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError)
            || (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError));
    if (error != QNetworkReply::NoError && !httpStatusError) {
        QString message;
        if (error == QNetworkReply::SslHandshakeFailedError || !load.sslErrors.isEmpty()) {
            QStringList reasons;
            for (const QSslError &e : load.sslErrors)
                reasons << e.errorString();
            if (reasons.isEmpty())
                reasons << reply->errorString();
            message = QStringLiteral("Сертификат сервера %1 не прошёл проверку (%2): соединение "
                                     "прервано, данные не отправлены")
                          .arg(Address(load.url), reasons.join(QStringLiteral("; ")));
        } else if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError) {
            message = QStringLiteral("Сервер не отвечает: %1").arg(Address(load.url));
        } else {
            message = QStringLiteral("Ошибка сети при загрузке %1: %2").arg(Address(load.url), reply->errorString());
        }
        Failed(load, message);
        return;
    }

    // The rest of the answer, through the same count (the reply is no
    // longer among the loads: put back for the moment).
    {
        auto back = loads_.insert(reply, std::move(load));
        if (!TakeData(reply, *back))
            return;
        load = loads_.take(reply);
    }

    if (IsRedirect(status) && reply->hasRawHeader("Location")) {
        const QUrl target = reply->url().resolved(QUrl::fromEncoded(reply->rawHeader("Location").trimmed()));
        if (++load.redirects > maxRedirects_) {
            Failed(load,
                   QStringLiteral("Перенаправление по кругу или слишком много "
                                  "перенаправлений (больше %1), последний адрес: %2")
                       .arg(maxRedirects_)
                       .arg(Address(target)));
            return;
        }
        if (!target.isValid() || (target.scheme() != u"http" && target.scheme() != u"https")) {
            Failed(load,
                   QStringLiteral("Недопустимый адрес перенаправления: %1")
                       .arg(QString::fromLatin1(reply->rawHeader("Location"))));
            return;
        }
        // 307 and 308 repeat the request as it was; the others continue with GET.
        load.fromSecure = load.fromSecure || load.url.scheme() == u"https";
        if (status != 307 && status != 308) {
            load.post = false;
            load.body.clear();
            load.carriesPassword = false;  // the password stays behind
        } else if (!load.post) {
            load.carriesPassword = false;  // a new address: the form's query is not in it
        }
        load.url = target;
        load.data.clear();
        load.inflater.reset();
        load.sslErrors.clear();
        Start(std::move(load));
        return;
    }
    Completed(load, reply);
}

void WebBrowser::Completed(Load &load, QNetworkReply *reply)
{
    const QUrl url = reply->url();
    const QByteArray charset = CharsetFromContentType(reply->rawHeader("Content-Type"));
    std::shared_ptr<HtmlDocument> document = HtmlDocument::Parse(load.data, url, charset);
    QPointer<WebBrowser> self(this);
    document->SetNavigator([self, url](const FormRequest &request) {
        if (self)
            self->Submit(request, url);
    });

    const quint64 generation = generation_;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    status_ = status.isValid() ? status.toInt() : 0;
    statusReason_ = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    if (load.top)
        top_ = document;
    current_ = document;
    Q_EMIT DocumentComplete(url);
    if (!self || generation != generation_)
        return;  // the handler navigated, stopped or reset

    if (load.depth < kMaxFrameDepth) {
        for (const QUrl &frameUrl : document->FrameUrls()) {
            if (framesStarted_ >= kMaxFrames)
                break;
            ++framesStarted_;
            Load frame;
            frame.url = frameUrl;
            frame.top = false;
            frame.depth = load.depth + 1;
            Start(std::move(frame));
        }
    }
    if (load.top && refreshHops_ < kMaxMetaRefreshHops) {
        if (const std::optional<MetaRefresh> refresh = document->Refresh()) {
            refreshUrl_ = refresh->url;
            refreshTimer_.start(int(qMin<qint64>(qint64(refresh->delaySeconds) * 1000, refreshDelayLimitMs_)));
        }
    }
}
