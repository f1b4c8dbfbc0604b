// Runs any program for a test, its standard output and error going to one file; stopped with
// SIGTERM (SIGKILL when it does not end in time) at the latest when the object goes.
#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace korvin::test {

class ChildProcess {
  public:
    ChildProcess(const std::vector<std::string>& argv, const std::filesystem::path& output)
        : output_(output) {
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, output.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&fa, STDOUT_FILENO, STDERR_FILENO);
        posix_spawn_file_actions_addopen(&fa, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        if (posix_spawn(&pid_, args[0], &fa, nullptr, args.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
    }
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool running() {
        if (pid_ <= 0) return false;
        if (::waitpid(pid_, &status_, WNOHANG) == 0) return true;
        pid_ = -1;
        return false;
    }

    // SIGTERM, then SIGKILL after timeoutms; the wait status (-1 when it never ran).
    int stop(int timeoutms = 10000) {
        if (pid_ <= 0) return status_;
        ::kill(pid_, SIGTERM);
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutms);
        while (::waitpid(pid_, &status_, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status_, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        pid_ = -1;
        return status_;
    }

    // What it has written so far.
    std::string output() const {
        std::ifstream in(output_);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

  private:
    std::filesystem::path output_;
    pid_t pid_ = -1;
    int status_ = -1;
};

// A loopback TCP port that was free a moment ago, for a program that cannot pick its own.
inline int freeport() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

}  // namespace korvin::test
