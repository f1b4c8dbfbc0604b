// Runs korvin-monitor for a test or benchmark: writes its monitor file (the metrics on a free
// loopback port), starts it with its standard error (where it logs) read line by line, and
// reads GET /metrics over a plain socket.
//
//   korvin::test::MonitorProcess mon(folder, {{"a", sim.port(), 1, 2}});
//   ASSERT_TRUE(mon.started());
//   auto n = korvin::test::sample(mon.scrape(), "korvin_captures_total{exciter=\"a\"}");
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "support/lineprocess.h"

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

class MonitorProcess : public LineProcess {
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
        start({binary, file.string()}, STDERR_FILENO, env);
        // "korvin-monitor: watching N exciters, metrics on http://127.0.0.1:PORT/metrics"
        const std::string announce = "metrics on http://127.0.0.1:";
        const auto line =
            waitfor([&](const std::string& l) { return l.find(announce) != std::string::npos; },
                    start_timeout_ms);
        if (line) {
            const std::string text = lines()[*line];
            port_ = std::atoi(text.c_str() + text.find(announce) + announce.size());
        }
    }

    bool started() const { return port_ > 0; }
    int port() const { return port_; }

    // SIGTERM, then SIGKILL after 10 s; the exit code (128 + signal when killed, -1 when it
    // never ran).
    int stop() {
        const int status = LineProcess::stop();
        if (status == -1) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
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

    int port_ = 0;
};

}  // namespace korvin::test
