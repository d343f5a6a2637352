// The browser against real servers on 127.0.0.1: cookies, redirects, limits,
// dropped connections, frames and meta refresh that never end, TLS, proxies
// and where a password may go. (Plain loads, error pages, forms and frames of
// a login are the request engine's tests against the emulator.)

#include "Browser.h"
#include "EmulatorProcess.h"
#include "TestServer.h"
#include "TinyProxy.h"

#include <QNetworkProxy>
#include <QTemporaryDir>

#include <atomic>

namespace {

// A browser with the documents it completed (address, body) and its navigation errors.
struct Tab {
    WebBrowser b;
    QList<QPair<QUrl, QString>> docs;
    QStringList errors;
    Tab()
    {
        QObject::connect(&b, &WebBrowser::DocumentComplete, &b, [this](const QUrl &url) {
            docs.append({url, b.Document()->BodyOuterHtml()});
        });
        QObject::connect(&b, &WebBrowser::NavigationError, &b,
                         [this](const QUrl &, const QString &message) { errors.append(message); });
    }
    // Runs start and waits for the next document or error: the document's
    // body, or "error: " and the message.
    QString Go(const std::function<void()> &start, int ms = 10000)
    {
        const auto d = docs.size(), e = errors.size();
        start();
        if (!WaitUntil([&] { return docs.size() > d || errors.size() > e; }, ms))
            return QStringLiteral("timeout");
        return errors.size() > e ? "error: " + errors.last() : docs[d].second;
    }
    QString Get(const QUrl &url, int ms = 10000)
    {
        return Go([&] { b.Navigate(url); }, ms);
    }
    QString Post(const QUrl &url, const QByteArray &body, bool pw = false)
    {
        return Go([&] { b.NavigatePost(url, body, pw); });
    }
};

// An answer without end, 64 kB every ms; *ended set once the server cannot send more.
Handler Endless(const std::string &type, int ms, std::atomic<bool> *ended)
{
    return [=](Req, Res res) {
        res.set_chunked_content_provider(
            type,
            [ms](size_t, httplib::DataSink &sink) {
                static const std::string chunk(64 * 1024, 'x');
                std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                return sink.write(chunk.data(), chunk.size());
            },
            [ended](bool) { *ended = true; });
    };
}

Handler Redirect(const std::string &to, int status = 302)
{
    return Page("", status, {{"Location", to}});
}

}  // namespace

TEST(Browser, CookiesAndRedirects)
{
    TestServer s({{"/set", Page("set", 200, {{"Set-Cookie", "sid=42; Path=/"}})},
                  {"/redir", Page("", 302, {{"Set-Cookie", "r=1; Path=/"}, {"Location", "/check"}})},
                  {"/check", [](Req req, Res res) { Html(res, "cookies=[" + req.get_header_value("Cookie") + "]"); }},
                  {"/r3", Redirect("/r2", 301)},
                  {"/r2", Redirect("/r1")},
                  {"/r1", Redirect("/r0", 301)},
                  {"/r0", Page("arrived")},
                  {"/loop", Redirect("/loop")},
                  {"/post-303", Redirect("/landing", 303)},
                  {"/post-307", Redirect("/landing", 307)},
                  {"/landing", Page("landing")}});
    Tab t;
    t.Get(s.Url("/set"));
    EXPECT_TRUE(Has(t.Get(s.Url("/check")), "cookies=[sid=42]"));
    // A cookie set by a redirect answer travels with the redirected request.
    const QString both = t.Get(s.Url("/redir"));
    EXPECT_TRUE(Has(both, "sid=42") && Has(both, "r=1")) << both.toStdString();
    t.b.ResetSession();
    EXPECT_TRUE(!t.b.Document() && !t.b.TopDocument());
    EXPECT_TRUE(Has(t.Get(s.Url("/check")), "cookies=[]"));

    EXPECT_TRUE(Has(t.Get(s.Url("/r3")), "arrived"));
    EXPECT_EQ(t.docs.last().first.path(), "/r0");
    t.Post(s.Url("/post-303"), "a=1");
    t.Post(s.Url("/post-307"), "b=2");
    EXPECT_EQ(s.Seen("/landing"), (QStringList{"GET /landing", "POST /landing b=2"}));
    EXPECT_TRUE(Has(t.Get(s.Url("/loop")), "error: Перенаправление по кругу"));
    EXPECT_EQ(s.Count("/loop"), WebBrowser::kDefaultMaxRedirects + 1);
    t.b.SetMaxRedirects(2);
    EXPECT_TRUE(Has(t.Get(s.Url("/r3")), "error: Перенаправление по кругу"));
    EXPECT_TRUE(Has(t.Get(s.Url("/r2")), "arrived"));
    Pump(100);
    EXPECT_EQ(t.docs.size(), 8);  // one document for a whole chain
}

TEST(Browser, AnswersTooLargeDroppedOrSilent)
{
    std::atomic<bool> ended{false};
    // Text is sent compressed: megabytes of it arrive as a few kilobytes.
    TestServer s({{"/big", Endless("application/octet-stream", 3, &ended)},
                  {"/big-compressed", Endless("text/html", 0, &ended)},
                  {"/declared", [](Req, Res res) { res.set_content(std::string(9 << 20, 'y'), "image/gif"); }},
                  {"/small", Page(std::string(2000, 'z'))},
                  {"/drop",
                   [](Req, Res res) {
                       res.set_content_provider(10000, "text/html", [](size_t, size_t, httplib::DataSink &sink) {
                           sink.write("<body><p>partial", 16);
                           return false;  // the connection is closed mid-answer
                       });
                   }},
                  {"/slow", [](Req, Res res) {
                       std::this_thread::sleep_for(std::chrono::milliseconds(1200));
                       Html(res, "late");
                   }}});
    Tab t;
    EXPECT_EQ(t.Get(s.Url("/big"), 20000),
              "error: Ответ сервера больше 8 МБ, загрузка прервана: " + s.Url("/big").toString());
    // The server cannot go on: the browser stopped reading.
    EXPECT_TRUE(WaitUntil([&] { return ended.load(); }));
    for (const char *path : {"/declared", "/big-compressed"})
        EXPECT_TRUE(Has(t.Get(s.Url(path)), "error: Ответ сервера больше 8 МБ")) << path;

    t.b.SetMaxAnswerBytes(1000);
    EXPECT_TRUE(Has(t.Get(s.Url("/small")), "error: Ответ сервера больше 1000 байт"));
    t.b.SetMaxAnswerBytes(WebBrowser::kDefaultMaxAnswerBytes);
    EXPECT_TRUE(Has(t.Get(s.Url("/drop")), "error: Ошибка сети при загрузке"));

    // Stop abandons the load: nothing is signalled afterwards.
    t.b.Navigate(s.Url("/slow"));
    Pump(100);
    EXPECT_TRUE(t.b.IsBusy());
    t.b.Stop();
    EXPECT_FALSE(t.b.IsBusy());
    const auto errors = t.errors.size();
    ASSERT_TRUE(WaitUntil([&] { return s.Count("/slow") == 1; }));
    Pump(200);
    EXPECT_TRUE(t.docs.isEmpty());
    EXPECT_EQ(t.errors.size(), errors);

    // A load that receives nothing within the inactivity bound fails before the answer.
    t.b.SetInactivityTimeout(300);
    EXPECT_EQ(t.Get(s.Url("/slow")), "error: Сервер не отвечает: " + s.Url("/slow").toString());
    EXPECT_EQ(s.Count("/slow"), 1);
}

TEST(Browser, FramesAndMetaRefreshThatNeverEndAreBounded)
{
    const auto refresh = [](const std::string &content) {
        return Page("<html><head><meta http-equiv=Refresh content='" + content + "'></head><body>r</body></html>");
    };
    // A page with n iframes that all load the page itself again.
    TestServer s({{R"(/nest(\d))",
                   [](Req req, Res res) {
                       std::string body = "<body>";
                       for (int i = 0; i < std::stoi(req.matches[1]); ++i)
                           body += "<iframe src='" + req.path + "?" + std::to_string(i) + "'></iframe>";
                       Html(res, body + "</body>");
                   }},
                  {"/b", Page("<p>b</p>")},
                  {"/slow", refresh("600;url=/b")},
                  {"/self", refresh("0")}});
    // Two frames a level: the depth bound (3) ends it after 2 + 4 + 8 frames.
    // Three a level: the count bound ends it first (3 + 9 + 27 > 16).
    for (const auto &[path, expected] : {std::pair{"/nest2", 1 + 2 + 4 + 8}, {"/nest3", 1 + WebBrowser::kMaxFrames}}) {
        Tab t;
        t.b.Navigate(s.Url(path));
        ASSERT_TRUE(WaitUntil([&] { return t.docs.size() >= expected && !t.b.IsBusy(); })) << path;
        Pump(200);
        EXPECT_EQ(t.docs.size(), expected) << path;
        EXPECT_EQ(s.Count(path), expected) << path;
    }

    // A long delay is cut to the browser's bound.
    Tab t;
    t.b.SetMetaRefreshDelayLimit(200);
    t.b.Navigate(s.Url("/slow"));
    ASSERT_TRUE(WaitUntil([&] { return t.docs.size() == 2 && !t.b.IsBusy(); }));
    EXPECT_EQ(t.docs[1].first.path(), "/b");
    // A page that refreshes itself forever is followed only a few hops.
    const int hops = WebBrowser::kMaxMetaRefreshHops;
    t.b.Navigate(s.Url("/self"));
    ASSERT_TRUE(WaitUntil([&] { return t.docs.size() >= 3 + hops && !t.b.IsBusy(); }));
    Pump(600);
    EXPECT_EQ(t.docs.size(), 3 + hops);
    EXPECT_EQ(s.Count("/self"), 1 + hops);
    EXPECT_FALSE(t.b.IsBusy());
    // Stop cancels a pending refresh.
    t.Get(s.Url("/slow"));
    t.b.Stop();
    Pump(600);
    EXPECT_EQ(t.docs.size(), 4 + hops);
}

TEST(Browser, ExplicitSystemAndLogonProxies)
{
    if (!TinyProxy::Installed())
        GTEST_SKIP() << "tinyproxy is not installed";
    TestServer s({{"/via", [](Req req, Res res) { Html(res, "<p>via=[" + req.get_header_value("Via") + "]</p>"); }}});
    TinyProxy open, logon;
    const int port = open.Start(), logonPort = logon.Start("saldo", "m4t");
    ASSERT_GT(port, 0);
    ASSERT_GT(logonPort, 0);
    Tab t;
    t.b.SetProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", quint16(port)));
    EXPECT_TRUE(Has(t.Get(s.Url("/via")), "tinyproxy"));
    t.b.SetProxy(QNetworkProxy(QNetworkProxy::NoProxy));
    EXPECT_TRUE(Has(t.Get(s.Url("/via")), "via=[]"));

    // The system configuration: the environment's http_proxy.
    const QByteArray oldProxy = qgetenv("http_proxy"), oldNoProxy = qgetenv("no_proxy");
    qputenv("http_proxy", "http://127.0.0.1:" + QByteArray::number(port));
    qunsetenv("no_proxy");
    t.b.UseSystemProxy();
    const QString viaSystem = t.Get(s.Url("/via"));
    oldProxy.isNull() ? qunsetenv("http_proxy") : qputenv("http_proxy", oldProxy);
    if (!oldNoProxy.isNull())
        qputenv("no_proxy", oldNoProxy);
    EXPECT_TRUE(Has(viaSystem, "tinyproxy"));

    // A proxy logon: nobody answers it and the load fails; the hook answers it.
    t.b.SetProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", quint16(logonPort)));
    EXPECT_TRUE(Has(t.Get(s.Url("/via")), "error: "));
    int asked = 0;
    QObject::connect(&t.b, &WebBrowser::ProxyAuthenticationRequired, &t.b,
                     [&](const QNetworkProxy &, QAuthenticator *auth) {
                         ++asked;
                         auth->setUser("saldo");
                         auth->setPassword("m4t");
                     });
    t.b.ResetSession();
    EXPECT_TRUE(Has(t.Get(s.Url("/via")), "tinyproxy"));
    EXPECT_GE(asked, 1);
}

// A password goes over TLS only to a trusted certificate (a self-signed one for
// 127.0.0.1 given as the extra CA), to a plain http:// address only when
// allowed, never from a secure page or to another scheme, never in an address.
TEST(Browser, PasswordOnlyToTrustedTlsOrAllowedPlainNeverInTheAddressAnd407Or401)
{
    QTemporaryDir dir;
    QString cert, key;
    ASSERT_TRUE(MakeTestCertificate(dir.path(), "server", &cert, &key));
    TestServer s({{"/login", Page("<p>logged in</p>")},
                  {"/again", Redirect("/login", 307)},
                  {"/forms",
                   Page("<form id=get method=get action=/login><input name=n value=1>"
                        "<input type=password name=p value=secret></form><form id=empty action=/login>"
                        "<input name=n value=2><input type=password name=p value=''></form>")},
                  {"/proxy-refused", Page("<p>Proxy Authentication Required</p>", 407)},
                  {"/site-auth", Page("<p>site wants a logon</p>", 401, {{"WWW-Authenticate", "Basic realm=site"}})}});
    TestServer tls({{"/secure", Page("<p>secure page</p>")},
                    {"/secret", Page("ok")},
                    {"/down", Redirect(s.Url("/login").toString().toStdString(), 307)}},
                   cert, key);
    const QByteArray login = "mobnum=1&Password=topsecret";
    Tab t;
    EXPECT_TRUE(Has(t.Post(tls.Url("/secret"), login),
                    "error: Сертификат сервера " + tls.Url("/secret").toString() + " не прошёл проверку"));
    EXPECT_EQ(tls.Count("/"), 0);
    EXPECT_FALSE(t.b.SetExtraCaFile(key));
    ASSERT_TRUE(t.b.SetExtraCaFile(cert));
    EXPECT_TRUE(Has(t.Get(tls.Url("/secure")), "secure page"));
    EXPECT_TRUE(Has(t.Post(tls.Url("/secret"), login), "ok"));
    EXPECT_EQ(tls.Seen("/secret"), QStringList{"POST /secret " + login});
    // A 307 from the secure address to a plain one never takes the password
    // along, even where plain addresses are allowed.
    t.b.SetPlainPasswordAllowed(true);
    EXPECT_TRUE(Has(t.Post(tls.Url("/down"), login, true), "error: Пароль не отправлен: защищённая страница"));
    EXPECT_EQ(s.Count("/"), 0);
    // Removing the extra CA makes the server untrusted again.
    ASSERT_TRUE(t.b.SetExtraCaFile(QString()));
    t.b.ResetSession();
    EXPECT_TRUE(Has(t.Post(tls.Url("/secret"), login), "error: Сертификат"));
    Pump(100);
    EXPECT_EQ(tls.Count("/secret"), 1);

    t.b.SetPlainPasswordAllowed(false);
    EXPECT_TRUE(Has(t.Post(s.Url("/login"), "Password=pw", true), "error: Пароль не отправлен: соединение"));
    EXPECT_TRUE(Has(t.Post(s.Url("/login"), "a=b"), "logged in"));  // an unmarked body goes
    t.b.SetPlainPasswordAllowed(true);  // allowed: sent, and a 307 repeats it
    EXPECT_TRUE(Has(t.Post(s.Url("/again"), "Password=pw", true), "logged in"));
    EXPECT_EQ(s.Seen("/login"), (QStringList{"POST /login a=b", "POST /login Password=pw"}));
    for (const auto &[from, to, refusal] : {std::tuple{"https://bank.example/", s.Url("/login"), "защищённая страница"},
                                            {"http://127.0.0.1/", QUrl("file:///tmp/login"), "не http и не https"}}) {
        const FormRequest request{
            .post = true, .url = to, .body = "Password=pw", .charset = {}, .carriesPassword = true};
        EXPECT_TRUE(Has(t.Go([&] { t.b.Submit(request, QUrl(from)); }), refusal)) << from;
    }
    Pump(100);
    EXPECT_EQ(s.Count("/login"), 2);

    // A form with a filled password field is posted even when it says GET.
    for (const auto &[form, sent] : {std::pair{"get", "POST /login n=1&p=secret"}, {"empty", "GET /login?n=2&p="}}) {
        t.Get(s.Url("/forms"));
        const auto doc = t.b.Document();
        EXPECT_TRUE(Has(t.Go([&] { doc->Submit(doc->ElementByName(form)); }), "logged in")) << form;
        EXPECT_EQ(s.Seen("/login").back(), sent);
    }

    // A 407 with no proxy logon given fails the navigation without a refusal
    // being reported; a 401 of the site is the site's own page.
    int refused = 0;
    QObject::connect(&t.b, &WebBrowser::ProxyLogonRefused, &t.b, [&] { ++refused; });
    EXPECT_TRUE(Has(t.Get(s.Url("/proxy-refused")), "error: Прокси-сервер требует имя и пароль"));
    EXPECT_TRUE(Has(t.Get(s.Url("/site-auth")), "site wants a logon"));
    EXPECT_EQ(refused, 0);
}
