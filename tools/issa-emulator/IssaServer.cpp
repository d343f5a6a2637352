#include "IssaServer.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <zlib.h>

#include <cerrno>
#include <mutex>
#include <thread>

#include "Connection.h"
#include "Encoding.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <random>
#include <sstream>

namespace {

const char kCgiPath[] = "/cgi-bin/cgi.exe";
const char kAccountUrl[] = "/cgi-bin/cgi.exe?function=is_account";
const char kSessionCookie[] = "ISSASESSION";

// A 1x1 transparent GIF for the images the pages name.
const unsigned char kGif[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00,
                              0x00, 0xff, 0xff, 0xff, 0x21, 0xf9, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00, 0x2c, 0x00, 0x00,
                              0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3b};

// When the request being served on this thread began (after its headers were read).
thread_local std::chrono::steady_clock::time_point tServeStart;
// Whether the request being served on this thread has been counted and logged.
thread_local bool tServeNoted = false;
// Set when the request's connection was closed instead of answered.
thread_local bool tNoAnswer = false;

// Writes all of data to the socket, giving up when the peer is gone, stop is
// set or nothing could be sent for 10 s.
bool SendAll(int fd, const char *data, size_t size, const std::atomic<bool> &stop)
{
    int idle = 0;
    while (size > 0) {
        if (stop)
            return false;
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            if (++idle > 100)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            continue;
        }
        if (n <= 0)
            return false;
        idle = 0;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// 256 MiB of the same text, gzip-compressed (made once, at the first use).
const std::string &GzipBombBody()
{
    static std::once_flag once;
    static std::string body;
    std::call_once(once, [] {
        z_stream z{};
        deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
        const std::string block(1024 * 1024, 'a');
        std::string out(1024 * 1024, '\0');
        for (int i = 0; i < 256; ++i) {
            z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(block.data()));
            z.avail_in = uInt(block.size());
            const int flush = i == 255 ? Z_FINISH : Z_NO_FLUSH;
            do {
                z.next_out = reinterpret_cast<Bytef *>(out.data());
                z.avail_out = uInt(out.size());
                deflate(&z, flush);
                body.append(out.data(), out.size() - z.avail_out);
            } while (z.avail_out == 0);
        }
        deflateEnd(&z);
    });
    return body;
}

// Closes the client's connection of req without an answer.
void DropRequestConnection(const httplib::Request &req)
{
    DropConnection(FindConnectionSocket(req.local_port, req.remote_port));
    tNoAnswer = true;
}

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string UrlDecode(const std::string &s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '+') {
            out += ' ';
        } else if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// "a=1&B=2" -> {"a": "1", "b": "2"}: names in lower case, the first value wins.
std::map<std::string, std::string> ParseForm(const std::string &text)
{
    std::map<std::string, std::string> out;
    std::istringstream in(text);
    std::string pair;
    while (std::getline(in, pair, '&')) {
        if (pair.empty())
            continue;
        const size_t eq = pair.find('=');
        const std::string name = Lower(UrlDecode(pair.substr(0, eq)));
        const std::string value = eq == std::string::npos ? std::string() : UrlDecode(pair.substr(eq + 1));
        out.emplace(name, value);
    }
    return out;
}

std::map<std::string, std::string> QueryOf(const httplib::Request &req)
{
    const size_t q = req.target.find('?');
    return q == std::string::npos ? std::map<std::string, std::string>{} : ParseForm(req.target.substr(q + 1));
}

std::string Value(const std::map<std::string, std::string> &m, const std::string &key)
{
    auto it = m.find(key);
    return it == m.end() ? std::string() : it->second;
}

std::string CookieValue(const httplib::Request &req, const std::string &name)
{
    const size_t n = req.get_header_value_count("Cookie");
    for (size_t i = 0; i < n; ++i) {
        std::istringstream in(req.get_header_value("Cookie", i));
        std::string part;
        while (std::getline(in, part, ';')) {
            const size_t b = part.find_first_not_of(' ');
            if (b == std::string::npos)
                continue;
            part = part.substr(b);
            if (part.compare(0, name.size() + 1, name + "=") == 0)
                return part.substr(name.size() + 1);
        }
    }
    return {};
}

std::string RandomToken()
{
    static std::mutex m;
    static std::mt19937_64 gen{std::random_device{}()};
    std::lock_guard<std::mutex> lock(m);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%016llx%016llx", static_cast<unsigned long long>(gen()),
                  static_cast<unsigned long long>(gen()));
    return buf;
}

}  // namespace

IssaServer::IssaServer() = default;
IssaServer::~IssaServer() = default;

bool IssaServer::init(const EmulatorOptions &options, std::string &error)
{
    options_ = options;
    if (!templates_.load(options.pagesDir, error))
        return false;
    if (!LoadPhoneBook(options.phonesPath, book_, error))
        return false;
    if (!options.tlsCert.empty() || !options.tlsKey.empty()) {
        if (options.tlsCert.empty() || options.tlsKey.empty()) {
            error = "--tls-cert and --tls-key go together";
            return false;
        }
        auto tls = std::make_unique<httplib::SSLServer>(options.tlsCert.c_str(), options.tlsKey.c_str());
        if (!tls->is_valid()) {
            error = "cannot use the certificate " + options.tlsCert + " with the key " + options.tlsKey;
            return false;
        }
        server_ = std::move(tls);
    } else {
        server_ = std::make_unique<httplib::Server>();
    }
    // Hanging and slow answers each hold a worker; keep plenty of them.
    server_->new_task_queue = [] { return new httplib::ThreadPool(32); };
    server_->set_keep_alive_timeout(1);
    server_->set_keep_alive_max_count(100);
    server_->set_read_timeout(5);
    server_->set_write_timeout(5);
    server_->set_payload_max_length(1 << 20);
    // Address reuse only: the library's default also shares the port with other
    // processes, which would let a second emulator start on a port in use.
    server_->set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    routes();
    if (options.port == 0) {
        port_ = server_->bind_to_any_port("127.0.0.1");
        if (port_ <= 0) {
            error = "cannot bind 127.0.0.1 to a free port";
            return false;
        }
    } else {
        if (!server_->bind_to_port("127.0.0.1", options.port)) {
            error = "cannot bind 127.0.0.1:" + std::to_string(options.port);
            return false;
        }
        port_ = options.port;
    }
    return true;
}

bool IssaServer::run()
{
    return server_->listen_after_bind();
}

void IssaServer::stop()
{
    stopping_ = true;
    if (server_)
        server_->stop();
}

bool IssaServer::reload(std::string &error)
{
    PhoneBook fresh;
    if (!LoadPhoneBook(options_.phonesPath, fresh, error))
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    book_ = std::move(fresh);
    return true;
}

void IssaServer::log(const std::string &line)
{
    std::lock_guard<std::mutex> lock(logMutex_);
    std::cerr << "issa-emulator: " << line << std::endl;
}

void IssaServer::routes()
{
    auto &s = *server_;
    // Each answer is counted and logged once it is ready and before it is sent,
    // so a client that has the answer also finds it in the counters and the log.
    // Answers that no route made (404) are logged after sending.
    s.set_post_routing_handler([this](const httplib::Request &req, httplib::Response &res) { noteServed(req, res); });
    s.set_logger([this](const httplib::Request &req, const httplib::Response &res) {
        if (!tServeNoted)
            noteServed(req, res);
    });
    s.set_pre_routing_handler([this](const httplib::Request &req, httplib::Response &) {
        tServeStart = std::chrono::steady_clock::now();
        tServeNoted = false;
        tNoAnswer = false;
        if (!options_.compression) {
            // The server compresses by the request's Accept-Encoding; the request
            // object is the server's own, only handed to the handlers as const.
            const_cast<httplib::Request &>(req).headers.erase("Accept-Encoding");
        }
        if (req.path.rfind("/__", 0) == 0)
            return httplib::Server::HandlerResponse::Unhandled;
        std::lock_guard<std::mutex> lock(mutex_);
        ++requests_;
        return httplib::Server::HandlerResponse::Unhandled;
    });
    auto cgi = [this](const httplib::Request &req, httplib::Response &res) { handleCgi(req, res); };
    s.Get(kCgiPath, cgi);
    s.Post(kCgiPath, cgi);
    s.Get("/", [](const httplib::Request &, httplib::Response &res) {
        res.set_redirect("/cgi-bin/cgi.exe?function=is_newlog", 302);
    });
    s.Get(R"(/img/[A-Za-z0-9_-]+\.gif)", [](const httplib::Request &, httplib::Response &res) {
        res.set_content(std::string(reinterpret_cast<const char *>(kGif), sizeof kGif), "image/gif");
    });
    s.Get("/__stats", [this](const httplib::Request &, httplib::Response &res) { handleStats(res); });
    s.Post("/__reset", [this](const httplib::Request &, httplib::Response &res) {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_ = formPages_ = redirects_ = serveMicros_ = 0;
        logins_.clear();
        accounts_.clear();
        res.set_content("reset\n", "text/plain");
    });
    s.Post("/__reload", [this](const httplib::Request &, httplib::Response &res) {
        std::string error;
        if (reload(error)) {
            res.set_content("reloaded\n", "text/plain");
        } else {
            res.status = 500;
            res.set_content(error + "\n", "text/plain");
        }
    });
    s.set_error_handler([this](const httplib::Request &, httplib::Response &res) {
        if (res.status == 404 && res.body.empty())
            send(res, SitePage(templates_, "not-found", "Страница не найдена", {}, false, Encoding{}, 404));
    });
}

void IssaServer::noteServed(const httplib::Request &req, const httplib::Response &res)
{
    tServeNoted = true;
    const auto us
        = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - tServeStart).count();
    if (req.path.rfind("/__", 0) != 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        serveMicros_ += us;
    }
    log(req.method + " " + req.target + " -> " + (tNoAnswer ? std::string("no answer") : std::to_string(res.status))
        + " (" + std::to_string(us / 1000) + " ms)");
}

void IssaServer::send(httplib::Response &res, const Page &page)
{
    res.status = page.status;
    res.set_header("Cache-Control", "no-cache, no-store");
    res.set_header("Pragma", "no-cache");
    res.set_content(page.body, page.contentType.c_str());
}

void IssaServer::handleStats(httplib::Response &res)
{
    std::ostringstream out;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        out << "requests " << requests_ << "\n";
        out << "form-pages " << formPages_ << "\n";
        out << "redirects " << redirects_ << "\n";
        out << "serve-us " << serveMicros_ << "\n";
        for (const auto &[number, count] : logins_)
            out << "login " << number << " " << count << "\n";
        for (const auto &[number, count] : accounts_)
            out << "account " << number << " " << count << "\n";
    }
    res.set_header("Cache-Control", "no-cache, no-store");
    res.set_content(out.str(), "text/plain; charset=us-ascii");
}

std::string IssaServer::newSession(const std::string &number)
{
    const std::string token = RandomToken();
    std::lock_guard<std::mutex> lock(mutex_);
    if (sessions_.size() > 10000)
        sessions_.clear();
    sessions_[token] = number;
    return token;
}

void IssaServer::startSession(httplib::Response &res, const std::string &number)
{
    res.set_header("Set-Cookie", std::string(kSessionCookie) + "=" + newSession(number) + "; Path=/; HttpOnly");
}

std::string IssaServer::issueFormKey()
{
    const std::string key = RandomToken();
    std::lock_guard<std::mutex> lock(mutex_);
    ++formPages_;
    if (formKeys_.size() > 10000)
        formKeys_.clear();
    formKeys_.insert(key);
    return key;
}

void IssaServer::countAccount(const std::string &number)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++accounts_[number];
}

bool IssaServer::sessionPhone(const httplib::Request &req, EmuPhone &phone)
{
    const std::string token = CookieValue(req, kSessionCookie);
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = sessions_.find(token);
    if (token.empty() || it == sessions_.end())
        return false;
    const EmuPhone *p = book_.find(it->second);
    if (!p)
        return false;
    phone = *p;
    return true;
}

void IssaServer::handleCgi(const httplib::Request &req, httplib::Response &res)
{
    const auto query = QueryOf(req);
    const std::string function = Lower(Value(query, "function"));
    if (function == "is_login" && req.method == "POST") {
        handleLogin(req, res);
    } else if (function == "is_newlog" || function == "is_login" || function.empty()) {
        send(res, LoginFormPage(templates_, issueFormKey(), "Введите номер телефона и пароль."));
    } else if (function == "is_account") {
        handleAccount(req, res, query);
    } else if (function == "is_menu") {
        send(res, WholePage(templates_, "menu-frame", {}, Encoding{}));
    } else if (function == "is_services" || function == "is_payments") {
        send(res, SitePage(templates_, "services", "Услуги и тарифы", {}, true, Encoding{}));
    } else {
        send(res, SitePage(templates_, "not-found", "Страница не найдена", {}, true, Encoding{}, 404));
    }
}

void IssaServer::handleLogin(const httplib::Request &req, httplib::Response &res)
{
    const auto form = ParseForm(req.body);
    const std::string number = DigitsOnly(Value(form, "mobnum"));
    // The site's pages are windows-1251: so is what their forms send.
    const std::string password = FromCp1251(QByteArray::fromStdString(Value(form, "password"))).toStdString();
    EmuPhone phone;
    bool known = false;
    bool keyValid = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!password.empty())
            ++logins_[number.empty() ? "-" : number];
        const EmuPhone *p = book_.find(number);
        if (p && p->password == password) {
            phone = *p;
            known = true;
        }
        const std::string key = Value(form, "formkey");
        keyValid = !key.empty() && formKeys_.count(key) > 0;
    }
    log("login of " + (number.empty() ? std::string("(no number)") : number)
        + (password.empty() ? ", no password" : ", with a password")
        + (known ? std::string(", behaviour ") + BehaviourName(phone.behaviour) : ", refused"));
    if (!known) {
        send(res, SitePage(templates_, "auth-error", "Ошибка", {}, false, Encoding{}));
        return;
    }
    int delay = phone.delayMs;
    if (phone.behaviour == Behaviour::Slow && delay == 0)
        delay = 2000;
    if (delay > 0 && !SleepUnlessStopped(delay, stopping_)) {
        DropRequestConnection(req);
        return;
    }
    const Encoding enc = PhoneEncoding(phone);
    auto redirectToAccount = [&](const std::string &url) {
        startSession(res, phone.number);
        res.set_redirect(url, 302);
        std::lock_guard<std::mutex> lock(mutex_);
        ++redirects_;
    };
    switch (phone.behaviour) {
    case Behaviour::Ok:
    case Behaviour::Slow:
        startSession(res, phone.number);
        countAccount(phone.number);
        send(res, AccountPage(templates_, phone));
        break;
    case Behaviour::FormOnly:
        if (!keyValid) {
            // A login without the form: the form again, with a key of its own.
            send(res, LoginFormPage(templates_, issueFormKey(), "Для входа заполните, пожалуйста, форму."));
            break;
        }
        startSession(res, phone.number);
        countAccount(phone.number);
        send(res, AccountPage(templates_, phone));
        break;
    case Behaviour::Redirect:
    case Behaviour::SessionExpired:
    case Behaviour::Unrecognised:
        redirectToAccount(kAccountUrl);
        break;
    case Behaviour::RedirectLoop:
        redirectToAccount(std::string(kAccountUrl) + "&loop=1");
        break;
    case Behaviour::AuthError:
        send(res, SitePage(templates_, "auth-error", "Ошибка", {}, false, Encoding{}));
        break;
    case Behaviour::Unavailable:
        send(res, SitePage(templates_, "unavailable", "Сервис недоступен", {}, false, Encoding{}));
        break;
    case Behaviour::ServerError: {
        // A server's own error page: in Latin-1, whatever the site's pages are in.
        Page page = WholePage(templates_, "server-error", {}, Encoding{}, 500);
        page.contentType = "text/html; charset=iso-8859-1";
        send(res, page);
        break;
    }
    case Behaviour::Hang: {
        const int fd = FindConnectionSocket(req.local_port, req.remote_port);
        const bool closed = WaitForPeerClose(fd, phone.hangMs, stopping_);
        log(std::string("hang of ") + phone.number
            + " ended: " + (closed ? "the client closed the connection" : "time bound or shutdown"));
        DropConnection(fd);
        tNoAnswer = true;
        break;
    }
    case Behaviour::Drop:
        DropRequestConnection(req);
        log("dropped the connection of " + phone.number);
        break;
    case Behaviour::Oversized:
        countAccount(phone.number);
        sendOversized(res, phone);
        break;
    case Behaviour::LoginAgain:
        send(res, LoginFormPage(templates_, issueFormKey(), "Неверный номер телефона или пароль."));
        break;
    case Behaviour::ChunkBomb:
    case Behaviour::ChunkFlood:
    case Behaviour::GzipBomb: {
        // Written straight to the socket: the HTTP library would keep to the rules.
        const int fd = FindConnectionSocket(req.local_port, req.remote_port);
        timeval tv{0, 100000};
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=windows-1251\r\n";
        size_t sent = 0;
        if (phone.behaviour == Behaviour::GzipBomb) {
            const std::string &body = GzipBombBody();
            head += "Content-Encoding: gzip\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
            if (SendAll(fd, head.data(), head.size(), stopping_) && SendAll(fd, body.data(), body.size(), stopping_))
                sent = body.size();
        } else {
            // The same 64 KiB of page over and over: inside one chunk that
            // announces 2^62 bytes, or each as a chunk of its own.
            head += "Transfer-Encoding: chunked\r\n\r\n";
            std::string block = "<p>" + std::string(64 * 1024 - 8, 'x') + "</p>\n";
            if (phone.behaviour == Behaviour::ChunkBomb) {
                head += "4000000000000000\r\n";
            } else {
                char size[32];
                std::snprintf(size, sizeof size, "%zx\r\n", block.size());
                block = size + block + "\r\n";
            }
            if (SendAll(fd, head.data(), head.size(), stopping_)) {
                while (sent < (size_t(4) << 30) && SendAll(fd, block.data(), block.size(), stopping_))
                    sent += block.size();
            }
        }
        log(std::string(BehaviourName(phone.behaviour)) + " of " + phone.number + " sent " + std::to_string(sent)
            + " bytes");
        DropConnection(fd);
        tNoAnswer = true;
        break;
    }
    case Behaviour::MetaRefresh:
        startSession(res, phone.number);
        send(res, WholePage(templates_, "refresh", {}, enc));
        break;
    case Behaviour::Frames:
        startSession(res, phone.number);
        send(res, WholePage(templates_, "frameset", {}, enc));
        break;
    }
}

void IssaServer::handleAccount(const httplib::Request &req, httplib::Response &res,
                               const std::map<std::string, std::string> &query)
{
    const std::string loop = Value(query, "loop");
    if (!loop.empty()) {
        res.set_redirect(std::string(kAccountUrl) + (loop == "1" ? "&loop=2" : "&loop=1"), 302);
        std::lock_guard<std::mutex> lock(mutex_);
        ++redirects_;
        return;
    }
    EmuPhone phone;
    if (!sessionPhone(req, phone)) {
        send(res, SitePage(templates_, "session-expired", "Сеанс завершен", {}, false, Encoding{}));
        return;
    }
    switch (phone.behaviour) {
    case Behaviour::SessionExpired:
        send(res, SitePage(templates_, "session-expired", "Сеанс завершен", {}, false, Encoding{}));
        return;
    case Behaviour::Unrecognised:
        send(res, SitePage(templates_, "unrecognised", "Состояние счета", {}, true, PhoneEncoding(phone)));
        return;
    case Behaviour::Oversized:
        countAccount(phone.number);
        sendOversized(res, phone);
        return;
    default:
        break;
    }
    countAccount(phone.number);
    send(res, AccountPage(templates_, phone));
}

// The account page with filler rows before its content, OversizeMb megabytes in
// all, streamed without holding it in memory.
void IssaServer::sendOversized(httplib::Response &res, const EmuPhone &phone)
{
    const Page page = AccountPage(templates_, phone);
    size_t cut = page.body.find("<h2>");
    if (cut == std::string::npos)
        cut = page.body.size();
    const std::string head = page.body.substr(0, cut) + "<table class=\"info\">\n";
    const std::string tail = "</table>\n" + page.body.substr(cut);
    std::string row = WholePage(templates_, "filler-row", {}, PhoneEncoding(phone)).body;
    if (row.empty())
        row = "<tr><td>-</td></tr>\n";
    const size_t total = size_t(phone.oversizeMb) * 1024 * 1024;
    const size_t fill = total > head.size() + tail.size() ? total - head.size() - tail.size() : 0;
    res.status = 200;
    res.set_header("Cache-Control", "no-cache, no-store");
    res.set_content_provider(head.size() + fill + tail.size(), page.contentType.c_str(),
                             [this, head, tail, row, fill](size_t offset, size_t length, httplib::DataSink &sink) {
                                 if (stopping_)
                                     return false;
                                 // Write up to 64 KiB from offset: the head, the filler rows, the tail.
                                 std::string chunk;
                                 const size_t want = std::min<size_t>(length, 64 * 1024);
                                 size_t pos = offset;
                                 while (chunk.size() < want) {
                                     if (pos < head.size()) {
                                         const size_t n = std::min(want - chunk.size(), head.size() - pos);
                                         chunk.append(head, pos, n);
                                         pos += n;
                                     } else if (pos < head.size() + fill) {
                                         const size_t inFill = pos - head.size();
                                         const size_t inRow = inFill % row.size();
                                         size_t n = std::min(want - chunk.size(), row.size() - inRow);
                                         n = std::min(n, fill - inFill);
                                         chunk.append(row, inRow, n);
                                         pos += n;
                                     } else {
                                         const size_t inTail = pos - head.size() - fill;
                                         const size_t n = std::min(want - chunk.size(), tail.size() - inTail);
                                         chunk.append(tail, inTail, n);
                                         pos += n;
                                     }
                                 }
                                 return sink.write(chunk.data(), chunk.size());
                             });
}
