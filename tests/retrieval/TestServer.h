#pragma once
// An HTTP or HTTPS server on a free port of 127.0.0.1 for the browser tests
// (cpp-httplib, served from a thread of its own) that records every request
// it answered, and readable values in test failure messages.

#include "EventLoopWait.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <QStringList>
#include <QUrl>

#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>

using Req = const httplib::Request &;
using Res = httplib::Response &;
using Handler = std::function<void(Req, Res)>;

inline void Html(Res res, const std::string &html)
{
    res.set_content(html, "text/html; charset=utf-8");
}
// A fixed answer.
inline Handler Page(const std::string &html, int status = 200, const httplib::Headers &headers = {})
{
    return [=](Req, Res res) {
        res.status = status;
        res.headers = headers;
        Html(res, html);
    };
}

class TestServer {
public:
    // Each handler answers GET and POST on its path pattern; HTTPS with a certificate.
    explicit TestServer(const std::vector<std::pair<std::string, Handler>> &routes, const QString &cert = {},
                        const QString &key = {})
        : tls_(!cert.isEmpty())
    {
        if (tls_)
            server_ = std::make_unique<httplib::SSLServer>(cert.toLocal8Bit().data(), key.toLocal8Bit().data());
        else
            server_ = std::make_unique<httplib::Server>();
        server_->set_keep_alive_max_count(100);
        for (const auto &[pattern, handler] : routes) {
            const auto recorded = [this, handler](Req req, Res res) {
                handler(req, res);
                std::lock_guard<std::mutex> lock(mutex_);
                seen_ << QString::fromStdString(req.method + " " + req.target
                                                + (req.body.empty() ? "" : " " + req.body));
            };
            server_->Get(pattern, recorded);
            server_->Post(pattern, recorded);
        }
        port_ = server_->is_valid() ? server_->bind_to_any_port("127.0.0.1") : -1;
        if (port_ <= 0)
            throw std::runtime_error("test server could not be set up");
        thread_ = std::thread([this] { server_->listen_after_bind(); });
    }
    ~TestServer()
    {
        server_->stop();
        thread_.join();
    }
    QUrl Url(const std::string &path) const
    {
        return QUrl(QString::fromStdString((tls_ ? "https" : "http") + std::string("://127.0.0.1:")
                                           + std::to_string(port_) + path));
    }
    // The requests answered so far ("METHOD target body") that contain part.
    QStringList Seen(const QString &part)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_.filter(part);
    }
    int Count(const QString &part) { return int(Seen(part).size()); }

private:
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    std::mutex mutex_;
    QStringList seen_;
    int port_ = 0;
    bool tls_;
};

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QByteArray &b, std::ostream *os)
{
    *os << '"' << b.toStdString() << '"';
}
// text contains part; the text in the failure message.
inline ::testing::AssertionResult Has(const QString &text, const QString &part)
{
    return text.contains(part)
        ? ::testing::AssertionSuccess()
        : ::testing::AssertionFailure() << "no \"" << part.toStdString() << "\" in \"" << text.toStdString() << '"';
}
