#include "TestServer.h"

#include <stdexcept>

TestServer::TestServer(const std::string &certFile, const std::string &keyFile)
{
    if (!certFile.empty()) {
        server_ = std::make_unique<httplib::SSLServer>(certFile.c_str(), keyFile.c_str());
        tls_ = true;
    } else {
        server_ = std::make_unique<httplib::Server>();
    }
    if (!server_->is_valid())
        throw std::runtime_error("test server could not be set up");
    server_->set_keep_alive_max_count(100);
}

TestServer::~TestServer()
{
    server_->stop();
    if (thread_.joinable())
        thread_.join();
}

void TestServer::Start()
{
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0)
        throw std::runtime_error("test server could not bind");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
}

QUrl TestServer::Url(const QString &path) const
{
    return QUrl(QStringLiteral("%1://127.0.0.1:%2%3")
                    .arg(tls_ ? QStringLiteral("https") : QStringLiteral("http"))
                    .arg(port_)
                    .arg(path));
}
