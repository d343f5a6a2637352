// A password goes to a plain http:// address only when allowed, never from a
// secure page, never in an address; and a proxy's refusal of its logon is told
// from a page of the site.
#include "Browser.h"
#include "TestServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

namespace {

void Page(httplib::Response &res, const std::string &body)
{
    res.set_content(body, "text/html; charset=utf-8");
}

struct PasswordServer {
    TestServer server;
    std::mutex mutex;
    std::vector<std::string> received; // "METHOD path?query body"

    PasswordServer()
    {
        auto record = [this](const httplib::Request &req) {
            std::lock_guard<std::mutex> lock(mutex);
            received.push_back(req.method + " " + req.target + " " + req.body);
        };
        server.http().Post("/login", [record](const httplib::Request &req, httplib::Response &res) {
            record(req);
            Page(res, "<body><p>logged in</p></body>");
        });
        server.http().Get("/login", [record](const httplib::Request &req, httplib::Response &res) {
            record(req);
            Page(res, "<body><p>logged in</p></body>");
        });
        server.http().Post("/again", [record](const httplib::Request &req, httplib::Response &res) {
            record(req);
            res.status = 307;
            res.set_header("Location", "/login");
        });
        server.http().Get("/forms", [](const httplib::Request &, httplib::Response &res) {
            Page(res,
                "<body>"
                "<form id='post' method='post' action='/login'><input name='n' value='1'>"
                "<input type='password' name='p' value='secret'></form>"
                "<form id='empty' method='post' action='/login'><input name='n' value='2'>"
                "<input type='password' name='p' value=''></form>"
                "<form id='get' method='get' action='/login'><input name='n' value='3'>"
                "<input type='password' name='p' value='secret'></form>"
                "<form id='none' method='post' action='/login'><input name='n' value='4'></form>"
                "</body>");
        });
        server.http().Get("/proxy-refused", [](const httplib::Request &, httplib::Response &res) {
            res.status = 407;
            Page(res, "<body><p>Proxy Authentication Required</p></body>");
        });
        server.http().Get("/site-auth", [](const httplib::Request &, httplib::Response &res) {
            res.status = 401;
            res.set_header("WWW-Authenticate", "Basic realm=\"site\"");
            Page(res, "<body><p>site wants a logon</p></body>");
        });
        server.Start();
    }
    size_t Count()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return received.size();
    }
    std::string Last()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return received.empty() ? std::string() : received.back();
    }
};

struct Watch {
    WebBrowser &browser;
    int docs = 0;
    QStringList errors;
    int refused = 0;

    explicit Watch(WebBrowser &b)
        : browser(b)
    {
        QObject::connect(&b, &WebBrowser::DocumentComplete, &b, [this](const QUrl &) { ++docs; });
        QObject::connect(
            &b, &WebBrowser::NavigationError, &b, [this](const QUrl &, const QString &message) { errors << message; });
        QObject::connect(&b, &WebBrowser::ProxyLogonRefused, &b, [this](const QUrl &) { ++refused; });
    }
    // Before a navigation: Settle() then waits for one more document or error.
    void Mark()
    {
        docs0 = docs;
        errors0 = errors.size();
    }
    bool Settle()
    {
        return WaitUntil([&] { return docs > docs0 || errors.size() > errors0; });
    }
    int docs0 = 0;
    qsizetype errors0 = 0;
};

} // namespace

TEST(BrowserPassword, PlainHttpOnlyWhenAllowed)
{
    PasswordServer site;
    WebBrowser browser;
    Watch watch(browser);

    // Not allowed (the default): nothing is sent and the navigation fails.
    watch.Mark();
    browser.NavigatePost(site.server.Url(QStringLiteral("/login")), "mobnum=1&Password=pw", true);
    ASSERT_TRUE(watch.Settle());
    ASSERT_EQ(watch.errors.size(), 1);
    EXPECT_TRUE(watch.errors[0].contains(QStringLiteral("Пароль не отправлен"))) << watch.errors[0].toStdString();
    Pump(100);
    EXPECT_EQ(site.Count(), 0u);

    // An unmarked body goes.
    watch.Mark();
    browser.NavigatePost(site.server.Url(QStringLiteral("/login")), "a=b");
    ASSERT_TRUE(watch.Settle());
    EXPECT_EQ(site.Last(), "POST /login a=b");

    // Allowed: sent, and a 307 repeats it.
    browser.SetPlainPasswordAllowed(true);
    watch.Mark();
    browser.NavigatePost(site.server.Url(QStringLiteral("/again")), "Password=pw", true);
    ASSERT_TRUE(watch.Settle());
    EXPECT_EQ(site.Last(), "POST /login Password=pw");
    EXPECT_EQ(watch.errors.size(), 1);

    // From a secure page to a plain address, or to another scheme: never.
    for (const char *from : {"https://bank.example/", "http://127.0.0.1/"}) {
        FormRequest request;
        request.post = true;
        request.url = QString::fromLatin1(from).startsWith(QLatin1String("https"))
            ? site.server.Url(QStringLiteral("/login"))
            : QUrl(QStringLiteral("file:///tmp/login"));
        request.body = "Password=pw";
        request.carriesPassword = true;
        const size_t before = site.Count();
        watch.Mark();
        browser.Submit(request, QUrl(QString::fromLatin1(from)));
        ASSERT_TRUE(watch.Settle()) << from;
        EXPECT_TRUE(watch.errors.last().contains(QStringLiteral("Пароль не отправлен"))) << watch.errors.last().toStdString();
        Pump(100);
        EXPECT_EQ(site.Count(), before) << from;
    }
}

TEST(BrowserPassword, FormsWithAFilledPasswordFieldNeverPutItInTheAddress)
{
    PasswordServer site;
    WebBrowser browser;
    browser.SetPlainPasswordAllowed(true);
    Watch watch(browser);
    struct Case {
        const char *form;
        std::string sent;
    };
    const Case cases[] = {
        {"post", "POST /login n=1&p=secret"},
        {"empty", "POST /login n=2&p="},
        {"get", "POST /login n=3&p=secret"},  // sent as a POST
        {"none", "POST /login n=4"},
    };
    for (const Case &c : cases) {
        watch.Mark();
        browser.Navigate(site.server.Url(QStringLiteral("/forms")));
        ASSERT_TRUE(watch.Settle());
        const auto document = browser.Document();
        ASSERT_TRUE(document);
        const HtmlElement form = document->ElementByName(QString::fromLatin1(c.form));
        ASSERT_TRUE(form) << c.form;
        watch.Mark();
        ASSERT_TRUE(document->Submit(form));
        ASSERT_TRUE(watch.Settle()) << c.form;
        EXPECT_EQ(site.Last(), c.sent) << c.form;
    }
    EXPECT_TRUE(watch.errors.isEmpty());
}

TEST(BrowserProxyRefusal, A407WithoutLogonFailsA401OfTheSiteIsAPage)
{
    PasswordServer site;
    WebBrowser browser;
    Watch watch(browser);

    // Nobody gave a logon: the navigation fails, and no refusal is reported.
    watch.Mark();
    browser.Navigate(site.server.Url(QStringLiteral("/proxy-refused")));
    ASSERT_TRUE(watch.Settle());
    EXPECT_EQ(watch.refused, 0);
    EXPECT_EQ(watch.docs, 0);
    ASSERT_EQ(watch.errors.size(), 1);
    EXPECT_TRUE(watch.errors[0].contains(QStringLiteral("требует имя и пароль"))) << watch.errors[0].toStdString();

    // No proxy logon was given: a 401 is the site's own page.
    watch.Mark();
    browser.Navigate(site.server.Url(QStringLiteral("/site-auth")));
    ASSERT_TRUE(watch.Settle());
    EXPECT_EQ(watch.refused, 0);
    EXPECT_EQ(watch.docs, 1);
}
