#include "platform/consoledesktop.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <thread>

#include "korvin_version.h"

namespace platform {

void ConsoleDesktop::errorbox(const std::string& text) {
    const std::string line = text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);  // one call: lines of threads never mix
}

std::string ConsoleDesktop::exefolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "./";
    return exe.parent_path().string() + "/";
}

LocalTime ConsoleDesktop::localtime() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm tm{};
    localtime_r(&t, &tm);
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,          tm.tm_hour,
                     tm.tm_min,         tm.tm_sec,     static_cast<int>(ms)};
}

std::string ConsoleDesktop::fileversion() {
    return KORVIN_FILE_VERSION;
}

void ConsoleDesktop::sleepms(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace platform
