// A bare loopback TCP client for talking to exciter-sim byte by byte.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace simtest {

using Bytes = std::vector<std::uint8_t>;

class Wire {
  public:
    explicit Wire(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<std::uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~Wire() {
        if (fd_ >= 0) ::close(fd_);
    }
    Wire(const Wire&) = delete;
    Wire& operator=(const Wire&) = delete;

    bool ok() const { return fd_ >= 0; }

    bool send(const Bytes& bytes) {
        return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }

    void shutwrite() { ::shutdown(fd_, SHUT_WR); }

    // Exactly n bytes, or nullopt if the peer closes first or nothing comes for timeoutms.
    std::optional<Bytes> read(std::size_t n, int timeoutms = 5000) {
        Bytes out(n);
        std::size_t got = 0;
        while (got < n) {
            const ssize_t r = readsome(out.data() + got, n - got, timeoutms);
            if (r <= 0) return std::nullopt;
            got += static_cast<std::size_t>(r);
        }
        return out;
    }

    // Everything up to the peer's end of stream (nullopt if it does not end in time).
    std::optional<Bytes> readtoend(int timeoutms = 5000) {
        Bytes out;
        std::uint8_t buffer[4096];
        while (true) {
            const ssize_t r = readsome(buffer, sizeof buffer, timeoutms);
            if (r == 0) return out;
            if (r < 0) return std::nullopt;
            out.insert(out.end(), buffer, buffer + r);
        }
    }

  private:
    // >0 bytes read, 0 end of stream, -1 time-out or error.
    ssize_t readsome(std::uint8_t* into, std::size_t n, int timeoutms) {
        pollfd pfd{fd_, POLLIN, 0};
        if (::poll(&pfd, 1, timeoutms) != 1) return -1;
        const ssize_t r = ::recv(fd_, into, n, 0);
        return r < 0 ? -1 : r;
    }

    int fd_ = -1;
};

}  // namespace simtest
