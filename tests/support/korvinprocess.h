// Runs the real korvin program for a test: a copy in a fresh folder of its own (config.ini and
// the log are written beside the executable while it may write there), offscreen, worked
// through its test driver on standard input. Every wait is bounded.
#pragma once

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/childenvironment.h"

namespace korvin::test {

// How the program is started beyond its arguments and environment.
struct Launch {
    std::vector<std::string> through;  // a command it runs under, its own path appended
    bool readonly = false;             // its folder made read-only (mode 555) once filled
};

class KorvinProcess {
  public:
    // `env` ("NAME=value") is added to the test's own environment, replacing a name it has;
    // `engine`: the libmonitor.so to place beside the program, the build's own by default.
    explicit KorvinProcess(const std::filesystem::path& folder,
                           const std::vector<std::string>& args = {},
                           const std::vector<std::string>& env = {},
                           const std::filesystem::path& engine =
                               std::filesystem::path(KORVIN_BUILD_DIR) / "libmonitor.so",
                           const Launch& launch = {})
        : folder_(folder), readonly_(launch.readonly) {
        ::signal(SIGPIPE, SIG_IGN);  // a program that died must fail the test, not end it
        namespace fs = std::filesystem;
        fs::create_directories(folder);
        fs::copy_file(KORVIN_BIN, folder / "korvin", fs::copy_options::overwrite_existing);
        fs::copy_file(engine, folder / "libmonitor.so", fs::copy_options::overwrite_existing);
        if (readonly_) ::chmod(folder.c_str(), 0555);
        spawn(args, env, launch.through);
    }
    ~KorvinProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (in_ >= 0) ::close(in_);
        if (out_ >= 0) ::close(out_);
        if (readonly_) ::chmod(folder_.c_str(), 0755);  // so the test can remove it
    }
    KorvinProcess(const KorvinProcess&) = delete;
    KorvinProcess& operator=(const KorvinProcess&) = delete;

    pid_t pid() const { return pid_; }

    // Sends one driver command and returns its answer ("" when none came in time).
    std::string command(const std::string& line, int timeoutms = 10000) {
        if (!send(line)) return "";
        return readline(timeoutms);
    }
    // Sends a command whose answer comes later (one that opens a modal window or dialog).
    bool send(const std::string& line) {
        const std::string text = line + "\n";
        return ::write(in_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }
    std::string reply(int timeoutms = 10000) { return readline(timeoutms); }
    // Repeats a command until its answer satisfies `want` (the driver has no change
    // notification: the program's state is polled); each answer waited for up to `answerms`.
    template <typename Want>
    bool until(const std::string& line, Want&& want, int timeoutms = 10000, int answerms = 10000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutms);
        while (std::chrono::steady_clock::now() < end) {
            if (want(command(line, answerms))) return true;
            ::poll(nullptr, 0, 20);
        }
        return false;
    }
    // Repeats a command until its answer is `want`.
    bool waitfor(const std::string& line, const std::string& want, int timeoutms = 10000) {
        return until(
            line, [&](const std::string& a) { return a == want; }, timeoutms);
    }
    // Waits for the program to end; its exit code.
    std::optional<int> waitexit(int timeoutms = 10000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutms);
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            ::poll(nullptr, 0, 20);
        }
        return std::nullopt;
    }
    std::vector<std::string> loglines() const {
        std::vector<std::string> lines;
        for (const auto& e : std::filesystem::directory_iterator(folder_)) {
            if (e.path().filename().string().rfind("log", 0) != 0) continue;
            std::ifstream in(e.path(), std::ios::binary);
            for (std::string l; std::getline(in, l);) lines.push_back(l);
        }
        return lines;
    }
    std::string file(const std::string& name) const {
        std::ifstream in(folder_ / name, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

  private:
    void spawn(const std::vector<std::string>& args, const std::vector<std::string>& env,
               const std::vector<std::string>& through) {
        int inpipe[2], outpipe[2];
        if (::pipe(inpipe) != 0 || ::pipe(outpipe) != 0) return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, inpipe[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&fa, outpipe[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&fa, inpipe[1]);
        posix_spawn_file_actions_addclose(&fa, outpipe[0]);
        std::vector<std::string> argtext = through;
        argtext.push_back((folder_ / "korvin").string());
        argtext.insert(argtext.end(), args.begin(), args.end());
        const std::string exe = argtext.front();
        std::vector<char*> argv;
        for (auto& a : argtext) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> mine{"QT_QPA_PLATFORM=offscreen", "KORVIN_DRIVER=1"};
        mine.insert(mine.end(), env.begin(), env.end());
        ChildEnvironment environment(std::move(mine));
        if (posix_spawnp(&pid_, exe.c_str(), &fa, nullptr, argv.data(), environment.envp()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
        ::close(inpipe[0]);
        ::close(outpipe[1]);
        in_ = inpipe[1];
        out_ = outpipe[0];
    }
    std::string readline(int timeoutms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutms);
        for (;;) {
            if (auto nl = buffer_.find('\n'); nl != std::string::npos) {
                std::string line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0) return "";
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) return "";
            char buf[4096];
            const ssize_t got = ::read(out_, buf, sizeof buf);
            if (got <= 0) return "";
            buffer_.append(buf, static_cast<std::size_t>(got));
        }
    }

    std::filesystem::path folder_;
    bool readonly_ = false;
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1;
    std::string buffer_;
};

}  // namespace korvin::test
