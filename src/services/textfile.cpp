#include "services/textfile.h"

#include <unistd.h>

#include "platform/backend.h"

namespace {
constexpr int kPow10[] = {1, 10, 100, 1000, 10000};
constexpr std::size_t kFileBuffer = 64 * 1024;
}  // namespace

LocalClock orDesktopClock(LocalClock clock) {
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

AppendFile openappend(const std::string& name) {
    AppendFile r;
    r.existed = ::access(name.c_str(), F_OK) == 0;
    r.file = std::fopen(name.c_str(), "ab");
    if (r.file) std::setvbuf(r.file, nullptr, _IOFBF, kFileBuffer);
    return r;
}

bool writeflush(std::FILE* f, const std::string& text) {
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return (std::fflush(f) == 0) && written;
}
