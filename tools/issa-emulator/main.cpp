// issa-emulator: a stand-in for the operator's self-service site on 127.0.0.1,
// for tests and the demo. See README.md for the options and the phones file.

#include "IssaServer.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <pthread.h>
#include <string>
#include <thread>

namespace {

const char kUsage[] = "usage: issa-emulator --phones FILE [--port N|0] [--tls-cert PEM --tls-key PEM] [--pages DIR]\n"
                      "                     [--compression on|off]\n"
                      "  --phones FILE   phones, passwords, figures and behaviours (see README.md)\n"
                      "  --port N        port on 127.0.0.1; 0 (the default) picks a free one\n"
                      "  --tls-cert PEM  serve HTTPS with this certificate (with --tls-key)\n"
                      "  --tls-key PEM   private key of the certificate\n"
                      "  --pages DIR     page templates <name>.html that replace the built-in ones\n"
                      "  --compression on|off  off: pages are never compressed (for benchmarks)\n"
                      "Prints \"port N\" as its first line, then serves until SIGTERM or SIGINT;\n"
                      "SIGHUP reads the phones file again.\n";

int Usage(const std::string &problem)
{
    if (!problem.empty())
        std::cerr << "issa-emulator: " << problem << "\n";
    std::cerr << kUsage;
    return 2;
}

bool ParsePort(const char *text, int &port)
{
    char *end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!end || *end != '\0' || v < 0 || v > 65535)
        return false;
    port = int(v);
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    EmulatorOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (i + 1 >= argc)
            return Usage("missing value after " + arg);
        const char *value = argv[++i];
        if (arg == "--phones")
            options.phonesPath = value;
        else if (arg == "--port") {
            if (!ParsePort(value, options.port))
                return Usage(std::string("bad port: ") + value);
        } else if (arg == "--tls-cert")
            options.tlsCert = value;
        else if (arg == "--tls-key")
            options.tlsKey = value;
        else if (arg == "--pages")
            options.pagesDir = value;
        else if (arg == "--compression" && (std::string(value) == "on" || std::string(value) == "off"))
            options.compression = std::string(value) == "on";
        else
            return Usage("unknown option " + arg);
    }
    if (options.phonesPath.empty())
        return Usage("--phones FILE is required");

    // Writes to a connection the client has closed must not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    // The signals that end or reload the server are taken by sigwait below;
    // block them before any thread starts so that every thread inherits it.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    IssaServer server;
    std::string error;
    if (!server.init(options, error)) {
        std::cerr << "issa-emulator: " << error << "\n";
        return 1;
    }
    std::printf("port %d\n", server.port());
    std::fflush(stdout);
    std::cerr << "issa-emulator: serving " << (options.tlsCert.empty() ? "http" : "https")
              << "://127.0.0.1:" << server.port() << std::endl;

    bool listenFailed = false;
    std::thread serving([&] {
        if (!server.run())
            listenFailed = true;
        // Wake the main thread if serving ended on its own.
        kill(getpid(), SIGTERM);
    });
    for (;;) {
        int sig = 0;
        if (sigwait(&signals, &sig) != 0)
            break;
        if (sig == SIGHUP) {
            std::string why;
            std::cerr << "issa-emulator: " << (server.reload(why) ? std::string("phones file read again") : why)
                      << std::endl;
            continue;
        }
        break;
    }
    server.stop();
    serving.join();
    std::cerr << "issa-emulator: stopped" << std::endl;
    return listenFailed ? 1 : 0;
}
