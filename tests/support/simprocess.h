// Runs exciter-sim as a child process for a test: starts it on a free loopback port, collects
// its stdout record line by line on a reader thread, and stops it (SIGTERM) when done.
//
//   korvin::test::SimProcess sim({"--packets", "4"});
//   ASSERT_TRUE(sim.started());
//   connect to 127.0.0.1:sim.port() ...
//   auto ack = sim.waitforprefix("RX 10 80 46 0A 00 01 80", 5000);
//
// The record reaches the test through a pipe, not in step with the socket: a reply can be
// read before the lines about it arrive. Wait for the last line you need (waitfor) before
// looking at lines().
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace korvin::test {

class SimProcess {
  public:
    using Predicate = std::function<bool(const std::string&)>;

    // `args` come after "--port 0 --max-seconds 300", so they may override both.
    explicit SimProcess(const std::vector<std::string>& args = {},
                        const std::string& binary = EXCITER_SIM_BIN, int starttimeoutms = 10000) {
        std::vector<std::string> argvtext = {binary, "--port", "0", "--max-seconds", "300"};
        argvtext.insert(argvtext.end(), args.begin(), args.end());
        spawn(argvtext);
        const auto listening = waitforprefix("listening ", starttimeoutms);
        if (listening) {
            port_ = std::stoi(listening->substr(listening->rfind(':') + 1));
        }
    }

    ~SimProcess() {
        stop();
        if (reader_.joinable()) reader_.join();
    }

    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool started() const { return port_ > 0; }
    int port() const { return port_; }
    pid_t pid() const { return pid_; }

    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }

    // Index of the first line from `from` on that satisfies `pred`, waiting up to timeoutms
    // for it to be printed; nullopt on time-out or when the process has ended without it.
    std::optional<std::size_t> waitfor(const Predicate& pred, int timeoutms, std::size_t from = 0) {
        std::unique_lock lock(mutex_);
        std::optional<std::size_t> found;
        const auto search = [&] {
            for (std::size_t i = from; i < lines_.size() && !found; ++i) {
                if (pred(lines_[i])) found = i;
            }
            from = std::max(from, lines_.size());
            return found.has_value() || eof_;
        };
        changed_.wait_for(lock, std::chrono::milliseconds(timeoutms), search);
        return found;
    }

    std::optional<std::string> waitforprefix(const std::string& prefix, int timeoutms,
                                             std::size_t from = 0) {
        const auto index =
            waitfor([&](const std::string& l) { return l.starts_with(prefix); }, timeoutms, from);
        if (!index) return std::nullopt;
        std::lock_guard lock(mutex_);
        return lines_[*index];
    }

    // Waits up to timeoutms for the process to end by itself; its wait status, or nullopt.
    std::optional<int> waitexit(int timeoutms) {
        {
            std::unique_lock lock(mutex_);
            if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutms),
                                   [this] { return eof_; })) {
                return std::nullopt;
            }
        }
        return reap();
    }

    // SIGTERM, then SIGKILL if it has not ended within 10 s; returns the wait status.
    int stop() {
        if (pid_ <= 0) return status_;
        ::kill(pid_, SIGTERM);
        if (const auto status = waitexit(10000)) return *status;
        ::kill(pid_, SIGKILL);
        return reap();
    }

  private:
    void spawn(const std::vector<std::string>& argvtext) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        std::vector<char*> argv;
        for (const auto& a : argvtext) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (pid_ <= 0) {
            ::close(fds[0]);
            eof_ = true;
            return;
        }
        reader_ = std::thread([this, fd = fds[0]] { readlines(fd); });
    }

    void readlines(int fd) {
        std::string partial;
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof buffer)) != 0) {
            if (n < 0) {
                if (errno == EINTR) continue;
                break;
            }
            partial.append(buffer, static_cast<std::size_t>(n));
            std::lock_guard lock(mutex_);
            for (std::size_t eol; (eol = partial.find('\n')) != std::string::npos;) {
                lines_.push_back(partial.substr(0, eol));
                partial.erase(0, eol + 1);
            }
            changed_.notify_all();
        }
        ::close(fd);
        std::lock_guard lock(mutex_);
        eof_ = true;
        changed_.notify_all();
    }

    int reap() {
        if (pid_ > 0) {
            while (::waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
            }
            pid_ = -1;
        }
        return status_;
    }

    pid_t pid_ = -1;
    int status_ = -1;
    int port_ = 0;
    std::thread reader_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
    bool eof_ = false;
};

}  // namespace korvin::test
