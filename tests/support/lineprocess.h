// A child process for a test or benchmark whose one output stream (standard output or error) is
// collected line by line on a reader thread: a full pipe would stall the program, and a test
// waits for a line as an event rather than by polling. Stopped (SIGTERM, SIGKILL after 10 s)
// when the object goes. SimProcess and MonitorProcess build on it.
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

#include "support/childenvironment.h"

namespace korvin::test {

class LineProcess {
  public:
    using Predicate = std::function<bool(const std::string&)>;

    LineProcess() = default;
    ~LineProcess() {
        stop();
        if (reader_.joinable()) reader_.join();
    }
    LineProcess(const LineProcess&) = delete;
    LineProcess& operator=(const LineProcess&) = delete;

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

    // Whether it is still running; reaps it once it has ended.
    bool alive() {
        if (pid_ <= 0) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) != pid_) return true;
        status_ = status;
        pid_ = -1;
        return false;
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

    // SIGTERM, then SIGKILL if it has not ended within 10 s; its wait status (-1 when it never
    // ran).
    int stop() {
        if (pid_ <= 0) return status_;
        ::kill(pid_, SIGTERM);
        if (const auto status = waitexit(10000)) return *status;
        ::kill(pid_, SIGKILL);
        return reap();
    }

  protected:
    // Starts argv[0] with `stream` (STDOUT_FILENO or STDERR_FILENO) on the pipe the reader
    // thread reads; `env` ("NAME=value") is added to the caller's environment.
    void start(const std::vector<std::string>& argvtext, int stream,
               const std::vector<std::string>& env = {}) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        std::vector<char*> argv;
        for (const auto& a : argvtext) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], stream);
        ChildEnvironment environment(env);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environment.envp()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (pid_ <= 0) {
            ::close(fds[0]);
            eof_ = true;
            return;
        }
        reader_ = std::thread([this, fd = fds[0]] { readlines(fd); });
    }

  private:
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
    std::thread reader_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
    bool eof_ = false;
};

}  // namespace korvin::test
