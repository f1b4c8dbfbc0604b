// Helpers for the services tests: a fresh folder per test, whole-file reads, and a clock that
// a test can script and hold at a chosen reading.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/desktop.h"

namespace svctest {

// A new folder under the temporary directory, removed with everything in it at the end.
class TempFolder {
  public:
    TempFolder() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "korvin-svc-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) std::abort();
        path_ = tmpl + "/";
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    // With its trailing "/".
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

  private:
    std::string path_;
};

inline bool exists(const std::string& name) {
    return std::filesystem::exists(name);
}

inline std::string readfile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writefile(const std::string& name, const std::string& text) {
    std::ofstream(name, std::ios::binary) << text;
}

inline std::size_t countlines(const std::string& text) {
    std::size_t n = 0;
    for (std::size_t p = 0; (p = text.find("\r\n", p)) != std::string::npos; p += 2) ++n;
    return n;
}

// A disk that fills up: writes take what still fits of `room` bytes, then fail with ENOSPC; after
// `refusals` failures space has been freed and every write goes through again.
inline std::function<long(int, const char*, std::size_t)> fillingdisk(std::size_t room,
                                                                      int refusals = 1 << 30) {
    struct Disk {
        std::size_t room;
        int refusals;
    };
    auto disk = std::make_shared<Disk>(Disk{room, refusals});
    return [disk](int fd, const char* data, std::size_t size) -> long {
        if (disk->refusals > 0 && disk->room == 0) {
            if (--disk->refusals == 0) disk->room = static_cast<std::size_t>(-1);
            errno = ENOSPC;
            return -1;
        }
        const long n = ::write(fd, data, std::min(size, disk->room));
        if (n > 0 && disk->refusals > 0) disk->room -= static_cast<std::size_t>(n);
        return n;
    };
}

// Returns the scripted times in turn (the last one again when they run out). Before handing out
// reading number `holdat` (1-based) it stops until release(): the test can change something
// while the worker stands at a known point.
class ScriptedClock {
  public:
    explicit ScriptedClock(std::vector<platform::LocalTime> times, int holdat = 0)
        : times_(std::move(times)), holdat_(holdat) {}

    platform::LocalTime operator()() {
        std::unique_lock<std::mutex> lock(mutex_);
        const int n = ++readings_;
        if (n == holdat_) {
            held_ = true;
            cv_.notify_all();
            cv_.wait(lock, [this] { return released_; });
        }
        const std::size_t i = static_cast<std::size_t>(n - 1);
        return i < times_.size() ? times_[i] : times_.back();
    }
    void waitheld() {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [this] { return held_; });
    }
    void release() {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        cv_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<platform::LocalTime> times_;
    int holdat_;
    int readings_ = 0;
    bool held_ = false, released_ = false;
};

}  // namespace svctest
