// The TCP side of exciter-sim: one client at a time, replies written as the session asks,
// with their delays, on a single poll() loop.
#pragma once

#include <signal.h>

#include <chrono>
#include <deque>
#include <string>

#include "session.h"

namespace sim {

class Server {
  public:
    using Clock = std::chrono::steady_clock;

    // Takes over SIGINT and SIGTERM from here on, so that a stop request arriving before
    // run() is not lost.
    Server(Session& session, Session::Sink record);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds and listens; false with a reason on failure.
    bool listen(const std::string& address, int port, std::string& error);
    int port() const { return port_; }
    std::string address() const { return address_; }

    // Serves until SIGINT/SIGTERM or until maxseconds (0: no limit) have passed.
    void run(int maxseconds);

  private:
    struct Pending {
        Bytes bytes;
        std::size_t sent = 0;
        Clock::time_point due;
        bool closeafter = false;
    };

    bool wait(Clock::time_point deadline);
    void acceptclient();
    void readclient();
    void writeclient();
    void queue(std::vector<Chunk> chunks);
    void startclosing();
    void dropclient(const std::string& reason);
    int polltimeout(Clock::time_point deadline) const;

    Session& session_;
    Session::Sink record_;
    sigset_t waitmask_;  // signal mask while waiting: stop signals let through
    int listenfd_ = -1;
    int clientfd_ = -1;
    int port_ = 0;
    std::string address_;
    std::deque<Pending> out_;
    bool closing_ = false;  // write side shut after a close fault; waiting for the peer
    Clock::time_point closingdeadline_;
};

}  // namespace sim
