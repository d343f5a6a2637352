#pragma once
// The emulated self-service site: routes, sessions, behaviours and counters.

#include "Pages.h"
#include "PhoneBook.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

struct EmulatorOptions {
    std::string phonesPath;
    std::string pagesDir;
    std::string tlsCert;
    std::string tlsKey;
    int port = 0;
    // Off: pages go out uncompressed whatever the client accepts, so that a
    // benchmark does not count the emulator's compressing.
    bool compression = true;
};

class IssaServer {
public:
    IssaServer();
    ~IssaServer();

    // Reads the phones and the pages and binds 127.0.0.1:port (0: a free port).
    bool init(const EmulatorOptions &options, std::string &error);
    int port() const { return port_; }
    // Serves until stop(); call from one thread.
    bool run();
    // Ends every waiting answer and makes run() return.
    void stop();
    // Reads the phones file again.
    bool reload(std::string &error);

private:
    void routes();
    void handleCgi(const httplib::Request &req, httplib::Response &res);
    void handleLogin(const httplib::Request &req, httplib::Response &res);
    void handleAccount(const httplib::Request &req, httplib::Response &res,
                       const std::map<std::string, std::string> &query);
    void handleStats(httplib::Response &res);
    void send(httplib::Response &res, const Page &page);
    void sendOversized(httplib::Response &res, const EmuPhone &phone);
    std::string newSession(const std::string &number);
    // Sets the session cookie of a new session of the phone on the answer.
    void startSession(httplib::Response &res, const std::string &number);
    // A new key for a login form page (the page is counted).
    std::string issueFormKey();
    // Counts an account page served to the phone.
    void countAccount(const std::string &number);
    bool sessionPhone(const httplib::Request &req, EmuPhone &phone);
    void log(const std::string &line);
    void noteServed(const httplib::Request &req, const httplib::Response &res);

    EmulatorOptions options_;
    std::unique_ptr<httplib::Server> server_;
    PageTemplates templates_;
    std::atomic<bool> stopping_{false};
    int port_ = 0;

    std::mutex mutex_;  // guards everything below
    PhoneBook book_;
    std::map<std::string, std::string> sessions_;  // token -> number
    std::set<std::string> formKeys_;
    long requests_ = 0;
    long formPages_ = 0;
    long redirects_ = 0;
    long long serveMicros_ = 0;  // time spent making answers, from the request's headers on
    std::map<std::string, long> logins_;  // number -> login POSTs carrying a password
    std::map<std::string, long> accounts_;  // number -> account pages served
    std::mutex logMutex_;
};
