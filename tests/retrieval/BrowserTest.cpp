// The browser against real servers on 127.0.0.1: cookies, redirects, limits,
// dropped connections, frames and meta refresh that never end, TLS, proxies
// and where a password may go. (Plain loads, error pages, forms and frames of
// a login are the request engine's tests against the emulator.)

#include "Browser.h"
#include "EmulatorProcess.h"
#include "Encoding.h"
#include "TestServer.h"
#include "TinyProxy.h"

#include <gtest/gtest.h>

#include <QNetworkProxy>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <mutex>
#include <vector>

namespace {

// What a server saw, filled from its threads.
class Seen {
public:
    void Add(const std::string &item)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        items_.push_back(item);
    }
    std::vector<std::string> All()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return items_;
    }
    size_t Count() { return All().size(); }

private:
    std::mutex mutex_;
    std::vector<std::string> items_;
};

// Everything the browser signals, with each completed document's body.
struct Recorder {
    struct Doc {
        QUrl url;
        QString html;
    };
    WebBrowser &browser;
    QList<Doc> docs;
    QList<QPair<QUrl, QString>> errors;
    QList<QPair<QUrl, QString>> frameErrors;

    explicit Recorder(WebBrowser &b) : browser(b)
    {
        QObject::connect(&b, &WebBrowser::DocumentComplete, &b, [this](const QUrl &url) {
            const auto doc = browser.Document();
            docs.append({url, doc ? doc->BodyOuterHtml() : QString()});
        });
        QObject::connect(&b, &WebBrowser::NavigationError, &b, [this](const QUrl &url, const QString &message) {
            errors.append({url, message});
        });
        QObject::connect(&b, &WebBrowser::FrameError, &b, [this](const QUrl &url, const QString &message) {
            frameErrors.append({url, message});
        });
    }
    // Waits for the n-th document; a new navigation error ends the wait.
    bool WaitDocs(int n, int ms = 10000)
    {
        const qsizetype e = errors.size();
        return WaitUntil([&] { return docs.size() >= n || errors.size() > e; }, ms) && docs.size() >= n;
    }
    // Waits for one more navigation error.
    bool WaitError(int ms = 10000)
    {
        const qsizetype e = errors.size();
        return WaitUntil([&] { return errors.size() > e; }, ms);
    }
};

void Html(httplib::Response &res, const std::string &body, const char *type = "text/html; charset=utf-8")
{
    res.set_content(body, type);
}

}  // namespace

// ---------------------------------------------------------------- navigation

TEST(BrowserNavigation, CookiesLastOneSession)
{
    TestServer server;
    server.http().Get("/set", [](const httplib::Request &, httplib::Response &res) {
        res.set_header("Set-Cookie", "sid=42; Path=/");
        Html(res, "<body>set</body>");
    });
    server.http().Get("/redir", [](const httplib::Request &, httplib::Response &res) {
        res.set_header("Set-Cookie", "r=1; Path=/");
        res.set_redirect("/check");
    });
    server.http().Get("/check", [](const httplib::Request &req, httplib::Response &res) {
        Html(res, "<body><p>cookies=[" + req.get_header_value("Cookie") + "]</p></body>");
    });
    server.Start();

    WebBrowser browser;
    Recorder rec(browser);
    browser.Navigate(server.Url(QStringLiteral("/set")));
    ASSERT_TRUE(rec.WaitDocs(1));
    browser.Navigate(server.Url(QStringLiteral("/check")));
    ASSERT_TRUE(rec.WaitDocs(2));
    EXPECT_TRUE(rec.docs[1].html.contains(QStringLiteral("cookies=[sid=42]"))) << rec.docs[1].html.toStdString();
    // A cookie set by a redirect answer travels with the redirected request.
    browser.Navigate(server.Url(QStringLiteral("/redir")));
    ASSERT_TRUE(rec.WaitDocs(3));
    EXPECT_EQ(rec.docs[2].url, server.Url(QStringLiteral("/check")));
    EXPECT_TRUE(rec.docs[2].html.contains(QStringLiteral("r=1"))) << rec.docs[2].html.toStdString();
    EXPECT_TRUE(rec.docs[2].html.contains(QStringLiteral("sid=42")));

    browser.ResetSession();
    EXPECT_EQ(browser.Document(), nullptr);
    EXPECT_EQ(browser.TopDocument(), nullptr);
    browser.Navigate(server.Url(QStringLiteral("/check")));
    ASSERT_TRUE(rec.WaitDocs(4));
    EXPECT_TRUE(rec.docs[3].html.contains(QStringLiteral("cookies=[]"))) << rec.docs[3].html.toStdString();
}

TEST(BrowserNavigation, RedirectsFollowedAndBounded)
{
    TestServer server;
    std::atomic<int> loopHits{0};
    Seen landing;
    server.http().Get(R"(/r/(\d+))", [](const httplib::Request &req, httplib::Response &res) {
        const int n = std::stoi(req.matches[1]);
        if (n == 0)
            Html(res, "<body>arrived</body>");
        else
            res.set_redirect("/r/" + std::to_string(n - 1), n % 2 ? 302 : 301);
    });
    server.http().Get("/loop", [&](const httplib::Request &, httplib::Response &res) {
        ++loopHits;
        res.set_redirect("/loop");
    });
    server.http().Post("/post-303",
                       [](const httplib::Request &, httplib::Response &res) { res.set_redirect("/landing", 303); });
    server.http().Post("/post-307",
                       [](const httplib::Request &, httplib::Response &res) { res.set_redirect("/landing", 307); });
    server.http().Get("/landing", [&](const httplib::Request &req, httplib::Response &res) {
        landing.Add("GET|" + req.body);
        Html(res, "<body>landing</body>");
    });
    server.http().Post("/landing", [&](const httplib::Request &req, httplib::Response &res) {
        landing.Add("POST|" + req.body);
        Html(res, "<body>landing</body>");
    });
    server.Start();

    WebBrowser browser;
    Recorder rec(browser);
    browser.Navigate(server.Url(QStringLiteral("/r/4")));
    ASSERT_TRUE(rec.WaitDocs(1));
    EXPECT_EQ(rec.docs[0].url, server.Url(QStringLiteral("/r/0")));
    Pump(100);
    EXPECT_EQ(rec.docs.size(), 1);  // one document for the whole chain

    browser.NavigatePost(server.Url(QStringLiteral("/post-303")), "a=1");
    ASSERT_TRUE(rec.WaitDocs(2));
    browser.NavigatePost(server.Url(QStringLiteral("/post-307")), "b=2");
    ASSERT_TRUE(rec.WaitDocs(3));
    EXPECT_EQ(landing.All(), (std::vector<std::string>{"GET|", "POST|b=2"}));

    browser.Navigate(server.Url(QStringLiteral("/loop")));
    ASSERT_TRUE(rec.WaitError());
    EXPECT_TRUE(rec.errors[0].second.contains(QStringLiteral("Перенаправление по кругу")))
        << rec.errors[0].second.toStdString();
    EXPECT_EQ(loopHits.load(), WebBrowser::kDefaultMaxRedirects + 1);
    EXPECT_EQ(rec.docs.size(), 3);

    browser.SetMaxRedirects(2);
    browser.Navigate(server.Url(QStringLiteral("/r/3")));
    ASSERT_TRUE(WaitUntil([&] { return rec.errors.size() == 2; }));
    browser.Navigate(server.Url(QStringLiteral("/r/2")));
    ASSERT_TRUE(rec.WaitDocs(4));
}

// ---------------------------------------------------------------- limits and failures

TEST(BrowserLimits, OversizedAnswersFailAndStopReading)
{
    TestServer server;
    std::atomic<long long> sent{0};
    std::atomic<bool> finished{false};
    std::atomic<bool> providerDone{false};
    server.http().Get("/big", [&](const httplib::Request &, httplib::Response &res) {
        res.set_chunked_content_provider(
            "application/octet-stream",
            [&](size_t, httplib::DataSink &sink) {
                static const std::string chunk(64 * 1024, 'x');
                if (sent >= 20LL * 1024 * 1024) {
                    finished = true;
                    sink.done();
                    return true;
                }
                if (!sink.write(chunk.data(), chunk.size()))
                    return false;
                sent += chunk.size();
                std::this_thread::sleep_for(std::chrono::milliseconds(3));
                return true;
            },
            [&](bool) { providerDone = true; });
    });
    // Text is sent compressed: 20 MB of it arrive as a few kilobytes.
    server.http().Get("/big-compressed", [](const httplib::Request &, httplib::Response &res) {
        auto left = std::make_shared<int>(320);
        res.set_chunked_content_provider("text/html", [left](size_t, httplib::DataSink &sink) {
            static const std::string chunk(64 * 1024, 'x');
            if ((*left)-- <= 0) {
                sink.done();
                return true;
            }
            return sink.write(chunk.data(), chunk.size());
        });
    });
    server.http().Get("/declared", [](const httplib::Request &, httplib::Response &res) {
        res.set_content_provider(9 * 1024 * 1024, "text/html",
                                 [](size_t offset, size_t length, httplib::DataSink &sink) {
                                     static const std::string chunk(64 * 1024, 'y');
                                     (void)offset;
                                     return sink.write(chunk.data(), std::min(length, chunk.size()));
                                 });
    });
    server.http().Get("/small", [](const httplib::Request &, httplib::Response &res) {
        Html(res, "<body>" + std::string(2000, 'z') + "</body>");
    });
    server.Start();

    WebBrowser browser;
    Recorder rec(browser);
    browser.Navigate(server.Url(QStringLiteral("/big")));
    ASSERT_TRUE(rec.WaitError(20000));
    EXPECT_EQ(rec.errors[0].second,
              QStringLiteral("Ответ сервера больше 8 МБ, загрузка прервана: %1")
                  .arg(server.Url(QStringLiteral("/big")).toString()));
    EXPECT_TRUE(rec.docs.isEmpty());
    // The server cannot finish its 20 MB: the browser stopped reading.
    ASSERT_TRUE(WaitUntil([&] { return providerDone.load(); }, 10000));
    EXPECT_FALSE(finished.load());
    EXPECT_LT(sent.load(), 20LL * 1024 * 1024);

    browser.Navigate(server.Url(QStringLiteral("/declared")));
    ASSERT_TRUE(rec.WaitError());
    EXPECT_TRUE(rec.errors[1].second.startsWith(QStringLiteral("Ответ сервера больше 8 МБ")));

    browser.Navigate(server.Url(QStringLiteral("/big-compressed")));
    ASSERT_TRUE(rec.WaitError());
    EXPECT_TRUE(rec.errors[2].second.startsWith(QStringLiteral("Ответ сервера больше 8 МБ")))
        << rec.errors[2].second.toStdString();
    EXPECT_TRUE(rec.docs.isEmpty());

    browser.SetMaxAnswerBytes(1000);
    browser.Navigate(server.Url(QStringLiteral("/small")));
    ASSERT_TRUE(rec.WaitError());
    EXPECT_TRUE(rec.errors[3].second.startsWith(QStringLiteral("Ответ сервера больше 1000 байт")));
    browser.SetMaxAnswerBytes(WebBrowser::kDefaultMaxAnswerBytes);
    browser.Navigate(server.Url(QStringLiteral("/small")));
    ASSERT_TRUE(rec.WaitDocs(1));
}

TEST(BrowserLimits, DroppedConnectionStopAndInactivity)
{
    TestServer server;
    std::atomic<int> slowServed{0};
    server.http().Get("/drop", [](const httplib::Request &, httplib::Response &res) {
        res.set_content_provider(10000, "text/html", [](size_t, size_t, httplib::DataSink &sink) {
            sink.write("<body><p>partial", 16);
            return false;  // the connection is closed mid-answer
        });
    });
    server.http().Get("/slow", [&](const httplib::Request &, httplib::Response &res) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1200));
        ++slowServed;
        Html(res, "<body>late</body>");
    });
    server.Start();

    WebBrowser browser;
    Recorder rec(browser);
    browser.Navigate(server.Url(QStringLiteral("/drop")));
    ASSERT_TRUE(rec.WaitError());
    EXPECT_TRUE(rec.errors[0].second.startsWith(QStringLiteral("Ошибка сети при загрузке")))
        << rec.errors[0].second.toStdString();
    EXPECT_TRUE(rec.docs.isEmpty());

    // Stop abandons the load: nothing is signalled afterwards.
    browser.Navigate(server.Url(QStringLiteral("/slow")));
    Pump(100);
    EXPECT_TRUE(browser.IsBusy());
    browser.Stop();
    EXPECT_FALSE(browser.IsBusy());
    ASSERT_TRUE(WaitUntil([&] { return slowServed.load() == 1; }, 5000));
    Pump(200);
    EXPECT_TRUE(rec.docs.isEmpty());
    EXPECT_EQ(rec.errors.size(), 1);

    // A load that receives nothing within the inactivity bound fails.
    browser.SetInactivityTimeout(300);
    browser.Navigate(server.Url(QStringLiteral("/slow")));
    ASSERT_TRUE(WaitUntil([&] { return rec.errors.size() == 2; }, 5000));
    EXPECT_EQ(rec.errors[1].second,
              QStringLiteral("Сервер не отвечает: %1").arg(server.Url(QStringLiteral("/slow")).toString()));
    EXPECT_TRUE(WaitUntil([&] { return slowServed.load() == 2; }, 5000));
}

// ---------------------------------------------------------------- frames and refresh

TEST(BrowserFrames, FramesThatLoadThemselvesAreBounded)
{
    TestServer server;
    std::atomic<int> hits{0};
    // A page with `width` iframes that all load the page itself again.
    server.http().Get(R"(/nest(\d))", [&](const httplib::Request &req, httplib::Response &res) {
        ++hits;
        std::string body = "<body>";
        for (int i = 0; i < std::stoi(req.matches[1]); ++i)
            body += "<iframe src='" + req.path + "?" + std::to_string(i) + "'></iframe>";
        Html(res, body + "</body>");
    });
    server.Start();

    WebBrowser browser;
    Recorder rec(browser);
    // Two frames a level: the depth bound ends it after 2 + 4 + 8 frames.
    // Three a level: the count bound ends it first (3 + 9 + 27 > 16).
    const int depthBound = 1 + 2 + 4 + 8;
    const int countBound = 1 + WebBrowser::kMaxFrames;
    static_assert(WebBrowser::kMaxFrameDepth == 3 && WebBrowser::kMaxFrames < 3 + 9 + 27);
    for (const auto &[path, expected] :
         {std::pair{QStringLiteral("/nest2"), depthBound}, std::pair{QStringLiteral("/nest3"), countBound}}) {
        rec.docs.clear();
        hits = 0;
        browser.Navigate(server.Url(path));
        ASSERT_TRUE(WaitUntil([&] { return rec.docs.size() >= expected; })) << path.toStdString();
        ASSERT_TRUE(WaitUntil([&] { return !browser.IsBusy(); }));
        Pump(200);
        EXPECT_EQ(rec.docs.size(), expected) << path.toStdString();
        EXPECT_EQ(hits.load(), expected) << path.toStdString();
    }
}

TEST(BrowserFrames, MetaRefreshFollowedAFewHops)
{
    TestServer server;
    std::atomic<int> selfHits{0};
    server.http().Get("/a", [](const httplib::Request &, httplib::Response &res) {
        Html(res, "<html><head><meta http-equiv='Refresh' content='0; URL=/b'></head><body>a</body></html>");
    });
    server.http().Get("/b",
                      [](const httplib::Request &, httplib::Response &res) { Html(res, "<body><p>b</p></body>"); });
    server.http().Get("/slow-refresh", [](const httplib::Request &, httplib::Response &res) {
        Html(res, "<html><head><meta http-equiv=refresh content='600;url=/b'></head><body>wait</body></html>");
    });
    server.http().Get("/self", [&](const httplib::Request &, httplib::Response &res) {
        ++selfHits;
        Html(res, "<html><head><meta http-equiv=refresh content='0'></head><body>again</body></html>");
    });
    server.Start();

    WebBrowser browser;
    Recorder rec(browser);
    browser.Navigate(server.Url(QStringLiteral("/a")));
    ASSERT_TRUE(rec.WaitDocs(2));
    EXPECT_EQ(rec.docs[0].url.path(), QStringLiteral("/a"));
    EXPECT_EQ(rec.docs[1].url.path(), QStringLiteral("/b"));

    // A long delay is cut to the browser's bound.
    browser.SetMetaRefreshDelayLimit(200);
    browser.Navigate(server.Url(QStringLiteral("/slow-refresh")));
    ASSERT_TRUE(rec.WaitDocs(4, 5000));
    EXPECT_EQ(rec.docs[3].url.path(), QStringLiteral("/b"));

    // A page that refreshes itself forever is followed only a few hops.
    browser.Navigate(server.Url(QStringLiteral("/self")));
    ASSERT_TRUE(rec.WaitDocs(4 + 1 + WebBrowser::kMaxMetaRefreshHops));
    Pump(600);
    EXPECT_EQ(rec.docs.size(), 4 + 1 + WebBrowser::kMaxMetaRefreshHops);
    EXPECT_EQ(selfHits.load(), 1 + WebBrowser::kMaxMetaRefreshHops);
    EXPECT_FALSE(browser.IsBusy());

    // Stop cancels a pending refresh.
    browser.SetMetaRefreshDelayLimit(300);
    browser.Navigate(server.Url(QStringLiteral("/slow-refresh")));
    const int before = rec.docs.size();
    ASSERT_TRUE(rec.WaitDocs(before + 1));
    browser.Stop();
    Pump(600);
    EXPECT_EQ(rec.docs.size(), before + 1);
}

// ---------------------------------------------------------------- TLS

// A self-signed certificate for 127.0.0.1: untrusted until given as the extra CA.
class BrowserTls : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ok_ = MakeTestCertificate(dir_.path(), QStringLiteral("server"), &cert_, &key_); }
    static inline QTemporaryDir dir_;
    static inline QString cert_, key_;
    static inline bool ok_ = false;
};

TEST_F(BrowserTls, TrustedCaLoadsAndUntrustedNeverSendsTheBody)
{
    ASSERT_TRUE(ok_) << "openssl could not make the test certificates";
    TestServer server(cert_.toStdString(), key_.toStdString());
    Seen posts;
    server.http().Get("/secure", [](const httplib::Request &, httplib::Response &res) {
        Html(res, "<body><p>secure page</p></body>");
    });
    server.http().Post("/secret", [&](const httplib::Request &req, httplib::Response &res) {
        posts.Add(req.body);
        Html(res, "<body>ok</body>");
    });
    // A secure page that sends the login on to a plain address.
    TestServer plain;
    Seen plainPosts;
    plain.http().Post("/secret", [&](const httplib::Request &req, httplib::Response &res) {
        plainPosts.Add(req.body);
        Html(res, "<body>ok</body>");
    });
    plain.Start();
    const std::string downgrade = plain.Url(QStringLiteral("/secret")).toString().toStdString();
    server.http().Post("/down", [downgrade](const httplib::Request &, httplib::Response &res) {
        res.status = 307;
        res.set_header("Location", downgrade);
    });
    server.Start();

    // Without our CA the certificate is not trusted: the navigation fails and
    // the password never reaches the server.
    {
        WebBrowser untrusting;
        Recorder rec(untrusting);
        untrusting.NavigatePost(server.Url(QStringLiteral("/secret")), "mobnum=1&Password=topsecret");
        ASSERT_TRUE(rec.WaitError());
        EXPECT_TRUE(rec.errors[0].second.startsWith(QStringLiteral("Сертификат сервера %1 не прошёл проверку")
                                                        .arg(server.Url(QStringLiteral("/secret")).toString())))
            << rec.errors[0].second.toStdString();
        EXPECT_TRUE(rec.docs.isEmpty());
        untrusting.Navigate(server.Url(QStringLiteral("/secure")));
        ASSERT_TRUE(WaitUntil([&] { return rec.errors.size() == 2; }));
        EXPECT_TRUE(rec.docs.isEmpty());
        EXPECT_EQ(posts.Count(), 0u);
    }

    WebBrowser browser;
    EXPECT_FALSE(browser.SetExtraCaFile(key_));
    ASSERT_TRUE(browser.SetExtraCaFile(cert_));
    Recorder rec(browser);
    browser.Navigate(server.Url(QStringLiteral("/secure")));
    ASSERT_TRUE(rec.WaitDocs(1));
    EXPECT_TRUE(rec.docs[0].html.contains(QStringLiteral("secure page")));
    browser.NavigatePost(server.Url(QStringLiteral("/secret")), "mobnum=1&Password=topsecret");
    ASSERT_TRUE(rec.WaitDocs(2));
    EXPECT_EQ(posts.All(), (std::vector<std::string>{"mobnum=1&Password=topsecret"}));

    // A 307 from the secure address to a plain one never takes the password
    // along, even where plain addresses are allowed.
    browser.SetPlainPasswordAllowed(true);
    browser.NavigatePost(server.Url(QStringLiteral("/down")), "mobnum=1&Password=topsecret", true);
    ASSERT_TRUE(rec.WaitError());
    EXPECT_TRUE(rec.errors.last().second.startsWith(QStringLiteral("Пароль не отправлен")))
        << rec.errors.last().second.toStdString();
    Pump(100);
    EXPECT_EQ(plainPosts.Count(), 0u);

    // Removing the extra CA makes the server untrusted again.
    ASSERT_TRUE(browser.SetExtraCaFile(QString()));
    browser.ResetSession();
    browser.NavigatePost(server.Url(QStringLiteral("/secret")), "mobnum=1&Password=again");
    ASSERT_TRUE(rec.WaitError());
    EXPECT_EQ(posts.Count(), 1u);
}

// ---------------------------------------------------------------- proxies

class BrowserProxy : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!TinyProxy::Installed())
            GTEST_SKIP() << "tinyproxy is not installed";
        server.http().Get("/via", [](const httplib::Request &req, httplib::Response &res) {
            Html(res, "<body><p>via=[" + req.get_header_value("Via") + "]</p></body>");
        });
        server.Start();
    }
    TinyProxy proxy_;
    TestServer server;
};

TEST_F(BrowserProxy, ExplicitAndSystemProxies)
{
    const int port = proxy_.Start();
    ASSERT_GT(port, 0);

    WebBrowser browser;
    Recorder rec(browser);
    browser.SetProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), quint16(port)));
    browser.Navigate(server.Url(QStringLiteral("/via")));
    ASSERT_TRUE(rec.WaitDocs(1));
    EXPECT_TRUE(rec.docs[0].html.contains(QStringLiteral("tinyproxy"))) << rec.docs[0].html.toStdString();

    browser.SetProxy(QNetworkProxy(QNetworkProxy::NoProxy));
    browser.Navigate(server.Url(QStringLiteral("/via")));
    ASSERT_TRUE(rec.WaitDocs(2));
    EXPECT_TRUE(rec.docs[1].html.contains(QStringLiteral("via=[]")));

    // The system configuration: the environment's http_proxy.
    const QByteArray oldProxy = qgetenv("http_proxy");
    const QByteArray oldNoProxy = qgetenv("no_proxy");
    qputenv("http_proxy", "http://127.0.0.1:" + QByteArray::number(port));
    qunsetenv("no_proxy");
    browser.UseSystemProxy();
    browser.Navigate(server.Url(QStringLiteral("/via")));
    const bool loaded = rec.WaitDocs(3);
    if (oldProxy.isNull())
        qunsetenv("http_proxy");
    else
        qputenv("http_proxy", oldProxy);
    if (!oldNoProxy.isNull())
        qputenv("no_proxy", oldNoProxy);
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(rec.docs[2].html.contains(QStringLiteral("tinyproxy"))) << rec.docs[2].html.toStdString();
}

TEST_F(BrowserProxy, ProxyLogonGoesThroughTheHook)
{
    const int port = proxy_.Start("saldo", "m4t");
    ASSERT_GT(port, 0);

    WebBrowser browser;
    Recorder rec(browser);
    browser.SetProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), quint16(port)));
    // Nobody answers the logon: the navigation fails.
    browser.Navigate(server.Url(QStringLiteral("/via")));
    ASSERT_TRUE(rec.WaitError());
    EXPECT_TRUE(rec.docs.isEmpty());

    int asked = 0;
    QObject::connect(&browser, &WebBrowser::ProxyAuthenticationRequired, &browser,
                     [&](const QNetworkProxy &, QAuthenticator *auth) {
                         ++asked;
                         auth->setUser(QStringLiteral("saldo"));
                         auth->setPassword(QStringLiteral("m4t"));
                     });
    browser.ResetSession();
    browser.Navigate(server.Url(QStringLiteral("/via")));
    ASSERT_TRUE(rec.WaitDocs(1));
    EXPECT_GE(asked, 1);
    EXPECT_TRUE(rec.docs[0].html.contains(QStringLiteral("tinyproxy")));
}

// ---------------------------------------------------------------- passwords

namespace {
// A site that records what reaches it ("METHOD target body"), with forms
// holding a password field and the answers of a proxy or site wanting a logon.
struct PasswordSite {
    TestServer server;
    Seen received;
    PasswordSite()
    {
        const auto record = [this](const httplib::Request &req, httplib::Response &res) {
            received.Add(req.method + " " + req.target + " " + req.body);
            Html(res, "<body><p>logged in</p></body>");
        };
        server.http().Post("/login", record);
        server.http().Get("/login", record);
        server.http().Post("/again", [this](const httplib::Request &req, httplib::Response &res) {
            received.Add(req.method + " " + req.target + " " + req.body);
            res.status = 307;
            res.set_header("Location", "/login");
        });
        server.http().Get("/forms", [](const httplib::Request &, httplib::Response &res) {
            Html(res,
                 "<body><form id='post' method='post' action='/login'><input name='n' value='1'>"
                 "<input type='password' name='p' value='secret'></form>"
                 "<form id='empty' method='post' action='/login'><input name='n' value='2'>"
                 "<input type='password' name='p' value=''></form>"
                 "<form id='get' method='get' action='/login'><input name='n' value='3'>"
                 "<input type='password' name='p' value='secret'></form>"
                 "<form id='none' method='post' action='/login'><input name='n' value='4'></form></body>");
        });
        server.http().Get("/proxy-refused", [](const httplib::Request &, httplib::Response &res) {
            res.status = 407;
            Html(res, "<body><p>Proxy Authentication Required</p></body>");
        });
        server.http().Get("/site-auth", [](const httplib::Request &, httplib::Response &res) {
            res.status = 401;
            res.set_header("WWW-Authenticate", "Basic realm=\"site\"");
            Html(res, "<body><p>site wants a logon</p></body>");
        });
        server.Start();
    }
    std::string Last()
    {
        const auto all = received.All();
        return all.empty() ? std::string() : all.back();
    }
};
}  // namespace

// A password goes to a plain http:// address only when allowed, never from a
// secure page or to another scheme, and never in an address.
TEST(BrowserPassword, PlainHttpOnlyWhenAllowedNeverInTheAddressAnd407Or401)
{
    PasswordSite site;
    WebBrowser browser;
    Recorder rec(browser);
    browser.NavigatePost(site.server.Url(QStringLiteral("/login")), "mobnum=1&Password=pw", true);
    ASSERT_TRUE(rec.WaitError());
    EXPECT_TRUE(rec.errors.last().second.contains(QStringLiteral("Пароль не отправлен")))
        << rec.errors.last().second.toStdString();
    browser.NavigatePost(site.server.Url(QStringLiteral("/login")), "a=b");  // an unmarked body goes
    ASSERT_TRUE(rec.WaitDocs(1));
    EXPECT_EQ(site.received.All(), std::vector<std::string>{"POST /login a=b"});

    browser.SetPlainPasswordAllowed(true);  // allowed: sent, and a 307 repeats it
    browser.NavigatePost(site.server.Url(QStringLiteral("/again")), "Password=pw", true);
    ASSERT_TRUE(rec.WaitDocs(2));
    EXPECT_EQ(site.Last(), "POST /login Password=pw");
    for (const char *from : {"https://bank.example/", "http://127.0.0.1/"}) {
        FormRequest request;
        request.post = request.carriesPassword = true;
        request.url = QByteArray(from).startsWith("https") ? site.server.Url(QStringLiteral("/login"))
                                                           : QUrl(QStringLiteral("file:///tmp/login"));
        request.body = "Password=pw";
        const size_t before = site.received.Count();
        browser.Submit(request, QUrl(QString::fromLatin1(from)));
        ASSERT_TRUE(rec.WaitError()) << from;
        EXPECT_TRUE(rec.errors.last().second.contains(QStringLiteral("Пароль не отправлен")));
        Pump(100);
        EXPECT_EQ(site.received.Count(), before) << from;
    }

    // A form with a filled password field is posted even when it says GET.
    for (const auto &[form, sent] : {std::pair{"post", "POST /login n=1&p=secret"},
                                     {"empty", "POST /login n=2&p="},
                                     {"get", "POST /login n=3&p=secret"},
                                     {"none", "POST /login n=4"}}) {
        browser.Navigate(site.server.Url(QStringLiteral("/forms")));
        ASSERT_TRUE(rec.WaitDocs(rec.docs.size() + 1));
        const auto document = browser.Document();
        const int docs = rec.docs.size();
        ASSERT_TRUE(document->Submit(document->ElementByName(QString::fromLatin1(form)))) << form;
        ASSERT_TRUE(rec.WaitDocs(docs + 1)) << form;
        EXPECT_EQ(site.Last(), sent);
    }

    // A 407 with no proxy logon given fails the navigation without a refusal
    // being reported; a 401 of the site is the site's own page.
    int refused = 0;
    QObject::connect(&browser, &WebBrowser::ProxyLogonRefused, &browser, [&](const QUrl &) { ++refused; });
    browser.Navigate(site.server.Url(QStringLiteral("/proxy-refused")));
    ASSERT_TRUE(rec.WaitError());
    EXPECT_TRUE(rec.errors.last().second.contains(QStringLiteral("требует имя и пароль")))
        << rec.errors.last().second.toStdString();
    const int docs = rec.docs.size();
    browser.Navigate(site.server.Url(QStringLiteral("/site-auth")));
    ASSERT_TRUE(rec.WaitDocs(docs + 1));
    EXPECT_EQ(refused, 0);
}
