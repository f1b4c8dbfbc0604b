#include "server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace sim {

namespace {

volatile std::sig_atomic_t stopsignal = 0;

void onstopsignal(int signo) {
    stopsignal = signo;
}

// Blocks SIGINT/SIGTERM outside ppoll() so a signal cannot slip in between the check of
// the flag and the wait. Returns the mask to wait with.
sigset_t armstopsignals() {
    struct sigaction action {};
    action.sa_handler = onstopsignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigset_t stops, previous;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigprocmask(SIG_BLOCK, &stops, &previous);
    sigdelset(&previous, SIGINT);
    sigdelset(&previous, SIGTERM);
    return previous;
}

std::string peername(const sockaddr_in& peer) {
    char text[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(peer.sin_port));
}

constexpr auto kCloseLinger = std::chrono::seconds(2);

}  // namespace

Server::Server(Session& session, Session::Sink record)
    : session_(session), record_(std::move(record)), waitmask_(armstopsignals()) {}

Server::~Server() {
    if (clientfd_ >= 0) ::close(clientfd_);
    if (listenfd_ >= 0) ::close(listenfd_);
}

bool Server::listen(const std::string& address, int port, std::string& error) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1) {
        error = "not an IPv4 address: " + address;
        return false;
    }
    listenfd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    if (listenfd_ < 0 || setsockopt(listenfd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
        ::bind(listenfd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenfd_, 4) != 0) {
        error = std::string("cannot listen on ") + address + ":" + std::to_string(port) + ": " +
                std::strerror(errno);
        return false;
    }
    socklen_t len = sizeof addr;
    getsockname(listenfd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    address_ = address;
    return true;
}

void Server::run(int maxseconds) {
    const auto deadline =
        maxseconds > 0 ? Clock::now() + std::chrono::seconds(maxseconds) : Clock::time_point::max();
    while (wait(deadline)) {
    }
    if (clientfd_ >= 0) dropclient("server stopping");
    record_(stopsignal != 0 ? "STOP signal=" + std::to_string(stopsignal)
                            : std::string("STOP max-seconds"));
}

// One round of the loop; false when it is time to stop.
bool Server::wait(Clock::time_point deadline) {
    if (stopsignal != 0 || Clock::now() >= deadline) return false;
    pollfd fds[1]{};
    if (clientfd_ < 0) {
        fds[0] = {listenfd_, POLLIN, 0};
    } else {
        const bool due = !out_.empty() && out_.front().due <= Clock::now();
        fds[0] = {clientfd_, static_cast<short>(POLLIN | (due ? POLLOUT : 0)), 0};
    }
    const int ms = polltimeout(deadline);
    const timespec timeout{ms / 1000, (ms % 1000) * 1000000L};
    const int ready = ppoll(fds, 1, &timeout, &waitmask_);
    if (ready < 0) return errno == EINTR;
    if (clientfd_ < 0) {
        if (fds[0].revents & POLLIN) acceptclient();
        return true;
    }
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) readclient();
    if (clientfd_ >= 0) writeclient();
    if (closing_ && clientfd_ >= 0 && Clock::now() >= closingdeadline_) {
        dropclient("closed by fault");
    }
    return true;
}

int Server::polltimeout(Clock::time_point deadline) const {
    auto until = deadline;
    if (clientfd_ >= 0 && !out_.empty()) until = std::min(until, out_.front().due);
    if (closing_) until = std::min(until, closingdeadline_);
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(ms, 0, 1000));
}

void Server::acceptclient() {
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    const int fd = ::accept4(listenfd_, reinterpret_cast<sockaddr*>(&peer), &len,
                             SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    clientfd_ = fd;
    closing_ = false;
    record_("CONNECT " + peername(peer));
}

void Server::readclient() {
    std::uint8_t buffer[4096];
    const ssize_t n = ::recv(clientfd_, buffer, sizeof buffer, 0);
    if (n == 0) return dropclient(closing_ ? "closed by fault" : "peer closed");
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
        return dropclient(std::string("receive error: ") + std::strerror(errno));
    }
    const std::span<const std::uint8_t> bytes(buffer, static_cast<std::size_t>(n));
    if (closing_) return record_("DRAIN " + std::to_string(n) + " " + hex(bytes));
    queue(session_.receive(bytes));
}

void Server::queue(std::vector<Chunk> chunks) {
    for (Chunk& chunk : chunks) {
        const auto base = out_.empty() ? Clock::now() : std::max(Clock::now(), out_.back().due);
        out_.push_back({std::move(chunk.bytes), 0, base + std::chrono::milliseconds(chunk.delayms),
                        chunk.closeafter});
    }
}

void Server::writeclient() {
    while (clientfd_ >= 0 && !out_.empty() && out_.front().due <= Clock::now()) {
        Pending& head = out_.front();
        if (head.sent < head.bytes.size()) {
            const ssize_t n = ::send(clientfd_, head.bytes.data() + head.sent,
                                     head.bytes.size() - head.sent, MSG_NOSIGNAL);
            if (n < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
                return dropclient(std::string("send error: ") + std::strerror(errno));
            }
            head.sent += static_cast<std::size_t>(n);
            if (head.sent < head.bytes.size()) return;
        }
        const bool closeafter = head.closeafter;
        out_.pop_front();
        if (closeafter) return startclosing();
    }
}

// Shut the write side first so the client sees an orderly end of stream rather than a reset
// from acknowledgements still in flight; then wait briefly for it to close its side.
void Server::startclosing() {
    ::shutdown(clientfd_, SHUT_WR);
    out_.clear();
    closing_ = true;
    closingdeadline_ = Clock::now() + kCloseLinger;
    record_("CLOSING");
}

void Server::dropclient(const std::string& reason) {
    ::close(clientfd_);
    clientfd_ = -1;
    closing_ = false;
    out_.clear();
    session_.reset();
    record_("DISCONNECT " + reason);
}

}  // namespace sim
