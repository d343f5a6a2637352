#include "Connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

int PortOf(const sockaddr_storage &addr)
{
    if (addr.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in &>(addr).sin_port);
    if (addr.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 &>(addr).sin6_port);
    return -1;
}

}  // namespace

int FindConnectionSocket(int localPort, int peerPort)
{
    rlimit lim{};
    int maxFd = 4096;
    if (getrlimit(RLIMIT_NOFILE, &lim) == 0 && lim.rlim_cur != RLIM_INFINITY)
        maxFd = int(std::min<rlim_t>(lim.rlim_cur, 65536));
    for (int fd = 3; fd < maxFd; ++fd) {
        struct stat st { };
        if (fstat(fd, &st) != 0 || !S_ISSOCK(st.st_mode))
            continue;
        sockaddr_storage local{}, peer{};
        socklen_t len = sizeof local;
        if (getsockname(fd, reinterpret_cast<sockaddr *>(&local), &len) != 0)
            continue;
        len = sizeof peer;
        if (getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &len) != 0)
            continue;
        if (PortOf(local) == localPort && PortOf(peer) == peerPort)
            return fd;
    }
    return -1;
}

void DropConnection(int fd)
{
    if (fd < 0)
        return;
    linger lg{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
    shutdown(fd, SHUT_RDWR);
}

bool WaitForPeerClose(int fd, int maxMs, const std::atomic<bool> &stop)
{
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(maxMs);
    while (!stop && Clock::now() < end) {
        if (fd < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }
        pollfd p{fd, POLLIN | POLLRDHUP, 0};
        const int r = poll(&p, 1, 20);
        if (r < 0)
            return true;
        if (r > 0) {
            if (p.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL))
                return true;
            char c;
            const ssize_t n = recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
            if (n == 0)
                return true;
            // Data the client sent meanwhile (a TLS alert, say): not a close.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    return false;
}

bool SleepUnlessStopped(int ms, const std::atomic<bool> &stop)
{
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (!stop) {
        const auto now = Clock::now();
        if (now >= end)
            return true;
        std::this_thread::sleep_for(std::min<Clock::duration>(end - now, std::chrono::milliseconds(20)));
    }
    return false;
}
