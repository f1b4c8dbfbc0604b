// Runs korvin-monitor for a test or benchmark: writes its monitor file (the metrics on a free
// loopback port), starts it, collects its standard error on a reader thread (it logs there, and
// a full pipe would stall it) and reads GET /metrics over a plain socket.
//
//   korvin::test::MonitorProcess mon(folder, {{"a", sim.port(), 1, 2}});
//   ASSERT_TRUE(mon.started());
//   auto n = korvin::test::sample(mon.scrape(), "korvin_captures_total{exciter=\"a\"}");
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/childenvironment.h"

namespace korvin::test {

struct WatchedExciter {
    std::string name;
    int port = 0;  // on 127.0.0.1
    int statusevery = 10;
    int captureevery = 10;
};

// The value of one series ("name{labels}") in a Prometheus exposition; nullopt when absent.
inline std::optional<double> sample(const std::string& text, const std::string& series) {
    const std::string key = series + " ";
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t eol = text.find('\n', at);
        const std::size_t end = eol == std::string::npos ? text.size() : eol;
        if (text.compare(at, key.size(), key) == 0)
            return std::strtod(text.substr(at + key.size(), end - at - key.size()).c_str(),
                               nullptr);
        at = end + 1;
    }
    return std::nullopt;
}

class MonitorProcess {
  public:
    // `env` ("NAME=value") is added to the caller's environment, replacing a name it has.
    MonitorProcess(const std::filesystem::path& folder, const std::vector<WatchedExciter>& exciters,
                   const std::vector<std::string>& env = {},
                   const std::string& binary = KORVIN_MONITOR_BIN, int start_timeout_ms = 20000) {
        ::signal(SIGPIPE, SIG_IGN);  // a daemon that died must fail the caller, not end it
        std::filesystem::create_directories(folder);
        const auto file = folder / "monitor.ini";
        {
            std::ofstream out(file);
            out << "[monitor]\nlisten = 127.0.0.1\nport = 0\n";
            for (const auto& e : exciters)
                out << "[exciter " << e.name << "]\naddress = 127.0.0.1\nport = " << e.port
                    << "\nstatus = " << e.statusevery << "\ncapture = " << e.captureevery << "\n";
        }
        spawn({binary, file.string()}, env);
        // "korvin-monitor: watching N exciters, metrics on http://127.0.0.1:PORT/metrics"
        const auto end =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(start_timeout_ms);
        while (port_ == 0 && std::chrono::steady_clock::now() < end && alive()) {
            for (const auto& l : lines()) {
                const auto at = l.find("metrics on http://127.0.0.1:");
                if (at != std::string::npos) port_ = std::atoi(l.c_str() + at + 28);
            }
            ::poll(nullptr, 0, 20);
        }
    }
    ~MonitorProcess() {
        stop();
        if (reader_.joinable()) reader_.join();
    }
    MonitorProcess(const MonitorProcess&) = delete;
    MonitorProcess& operator=(const MonitorProcess&) = delete;

    bool started() const { return port_ > 0; }
    pid_t pid() const { return pid_; }
    int port() const { return port_; }

    bool alive() {
        if (pid_ <= 0) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) != pid_) return true;
        status_ = status;
        pid_ = -1;
        return false;
    }

    // SIGTERM, then SIGKILL after 10 s; the exit code (128 + signal when killed, -1 when it
    // never ran).
    int stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (alive() && std::chrono::steady_clock::now() < end) ::poll(nullptr, 0, 20);
            if (pid_ > 0) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status_, 0);
                pid_ = -1;
            }
        }
        if (status_ == -1) return -1;
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
    }

    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }

    // The body of GET /metrics; "" when no complete 200 answer came within timeout_ms.
    std::string scrape(int timeout_ms = 5000) const {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return "";
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port_));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        std::string answer;
        const std::string request =
            "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
                static_cast<ssize_t>(request.size())) {
            answer = readall(fd, timeout_ms);
        }
        ::close(fd);
        const auto body = answer.find("\r\n\r\n");
        if (answer.rfind("HTTP/1.1 200", 0) != 0 || body == std::string::npos) return "";
        return answer.substr(body + 4);
    }

  private:
    static std::string readall(int fd, int timeout_ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        std::string out;
        char buf[16384];
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd p{fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return "";
            const ssize_t got = ::recv(fd, buf, sizeof buf, 0);
            if (got == 0) return out;  // the server closes after its answer
            if (got < 0) return "";
            out.append(buf, static_cast<std::size_t>(got));
        }
    }

    void spawn(const std::vector<std::string>& args, const std::vector<std::string>& env) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, fds[1], STDERR_FILENO);
        std::vector<std::string> argtext = args;
        std::vector<char*> argv;
        for (auto& a : argtext) argv.push_back(a.data());
        argv.push_back(nullptr);
        ChildEnvironment environment(env);
        if (posix_spawn(&pid_, argv[0], &fa, nullptr, argv.data(), environment.envp()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
        ::close(fds[1]);
        if (pid_ <= 0) {
            ::close(fds[0]);
            return;
        }
        reader_ = std::thread([this, fd = fds[0]] { readlines(fd); });
    }

    void readlines(int fd) {
        std::string partial;
        char buffer[4096];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
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
        }
        ::close(fd);
    }

    pid_t pid_ = -1;
    int status_ = -1;
    int port_ = 0;
    std::thread reader_;
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace korvin::test
