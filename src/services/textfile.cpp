#include "services/textfile.h"

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include "platform/backend.h"

namespace {
constexpr int kPow10[] = {1, 10, 100, 1000, 10000};
}  // namespace

LocalClock ordesktopclock(LocalClock clock) {
    if (clock) return clock;
    return [] { return platform::desktop().localtime(); };
}

void appendpadded(std::string& out, int v, int width) {
    if (v < 0 || width < 1 || width > 4 || v >= kPow10[width]) {
        // Outside the usual range: let printf decide ("%.4d" of -5 is "-0005").
        char buf[24];
        const int n = std::snprintf(buf, sizeof buf, "%.*d", width, v);
        out.append(buf, static_cast<std::size_t>(n));
        return;
    }
    for (int p = width - 1; p >= 0; --p) out.push_back(static_cast<char>('0' + v / kPow10[p] % 10));
}

void appendstamp(std::string& out, const platform::LocalTime& t) {
    appendpadded(out, t.year, 4);
    out.push_back('-');
    appendpadded(out, t.month, 2);
    out.push_back('-');
    appendpadded(out, t.day, 2);
    out.push_back(' ');
    appendpadded(out, t.hour, 2);
    out.push_back(':');
    appendpadded(out, t.minute, 2);
    out.push_back(':');
    appendpadded(out, t.second, 2);
}

LineFile::LineFile(WriteCall write) : write_(std::move(write)) {}

LineFile::~LineFile() {
    close();
}

bool LineFile::open(const std::string& name, bool* existed) {
    close();
    if (existed) *existed = ::access(name.c_str(), F_OK) == 0;
    fd_ = ::open(name.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    return fd_ >= 0;
}

long LineFile::write(const char* data, std::size_t size) {
    return write_ ? write_(fd_, data, size) : static_cast<long>(::write(fd_, data, size));
}

bool LineFile::writeline(const std::string& line) {
    if (fd_ < 0) return false;
    std::size_t done = 0;
    while (done < line.size()) {
        const long n = write(line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // Appending leaves the offset at our last byte: cut the part of the line back off.
            const off_t end = ::lseek(fd_, 0, SEEK_CUR);
            if (done && end >= static_cast<off_t>(done) &&
                ::ftruncate(fd_, end - static_cast<off_t>(done)) != 0) {
                // Nothing more to try: the file keeps the torn line.
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool LineFile::close() {
    if (fd_ < 0) return true;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    return closed;
}
