#include "services/logthread.h"

#include <charconv>
#include <chrono>
#include <cstring>
#include <memory>
#include <new>
#include <thread>

#include "platform/backend.h"
#include "services/globalunit.h"
#include "services/userfolders.h"

namespace {

constexpr std::size_t kReceiveBlock = 2048;
constexpr std::size_t kSendBlock = 256;
constexpr std::size_t kCaptureBlock = 32768;

std::unique_ptr<std::uint8_t[]> zeroedblock(std::size_t n) {
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[n]());
}

// A block of `size` zeros holding the first `count` bytes of data (none when data is absent).
bool postbytes(TlogThread* t, unsigned msg, const std::uint8_t* data, std::size_t count,
               std::size_t size) {
    auto block = zeroedblock(size);
    if (!block) return false;
    if (!data) count = 0;
    if (count) std::memcpy(block.get(), data, count);
    return t->post(msg, count, std::move(block));
}

bool posttext(TlogThread* t, const std::string& text) {
    const std::size_t size = text.size() + 16;
    std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[size]);
    if (!block) return false;
    std::memcpy(block.get(), text.data(), text.size());
    std::memset(block.get() + text.size(), 0, 16);
    return t->post(kMsgText, size, std::move(block));
}

std::int16_t le16(const std::uint8_t* p) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

}  // namespace

bool postlog(TlogThread* t, unsigned msg, const std::string& text, const std::uint8_t* data,
             std::size_t count) {
    if (!t) return false;
    switch (msg) {
        case kMsgText:
            return posttext(t, text);
        case kMsgReceived:
            // An oversized chunk keeps 2044 bytes, not 2048: the count others read it by.
            return postbytes(t, msg, data, count > kReceiveBlock ? kReceiveBlock - 4 : count,
                             kReceiveBlock);
        case kMsgSent:
            return postbytes(t, msg, data, count > kSendBlock ? kSendBlock : count, kSendBlock);
        case kMsgDumpFirst:
        case kMsgDumpSecond:
            return postbytes(t, msg, data, count > kCaptureBlock ? kCaptureBlock - 4 : count,
                             kCaptureBlock);
        default:
            return false;
    }
}

TlogThread::TlogThread(LocalClock clock, WriteCall write)
    : clock_(ordesktopclock(std::move(clock))), file_(std::move(write)) {
    line_.reserve(256);
}

TlogThread::~TlogThread() {
    stop();
}

void TlogThread::execute() {
    if (!openlogfile()) return;
    bool written = true;
    for (;;) {
        // The headless desktop's sleepms() does not block, so sleep here.
        waitforwork();
        // Read the flag before draining: whatever was posted before stop() is then in the queue.
        const bool last = terminated();
        written = drain();
        if (!written || last) break;
    }
    // A failed write ends logging for the run; say so rather than lose the rest unnoticed.
    if (!closelogfile() || !written) reporterror("tlogthread.Destroy Failed,Please Reset!");
}

bool TlogThread::openlogfile() {
    const platform::LocalTime now = clock_();
    std::string name = userfolders().logs + "log";
    appendpadded(name, now.year, 4);
    name += '-';
    appendpadded(name, now.month, 2);
    name += '-';
    appendpadded(name, now.day, 2);
    name += ".txt";
    bool existed = false;
    if (file_.open(name, &existed)) return true;
    reporterror(existed ? "Can not open exist log file,Please check!"
                        : "Can not Create log file,Please check!");
    return false;
}

bool TlogThread::closelogfile() {
    return file_.close();  // every line went to the disk as it was written
}

bool TlogThread::drain() {
    platform::ThreadMessage m;
    // Abandoned by a shutdown that could not wait: leave between two whole lines.
    while (!abandoned() && queue().take(m)) {
        if (!handle(m)) return false;
        m.block.reset();
    }
    return true;
}

bool TlogThread::handle(const platform::ThreadMessage& m) {
    if (!m.block) return true;
    const char* block = reinterpret_cast<const char*>(m.block.get());
    switch (m.id) {
        case kMsgText:
            line_.clear();
            appendstamp(line_, clock_());
            line_ += ':';
            line_.append(block, strnlen(block, m.count));
            line_ += "\r\n";
            return file_.writeline(line_);
        case kMsgReceived:
            return writeline("Receive Frame Successful!");
        case kMsgSent:
            return writeline("Send Frame Successful!");
        case kMsgDumpFirst:
            return writeline("Receive complex:") && dumpsamples(m.block.get(), m.count);
        case kMsgDumpSecond:
            return writeline("") && dumpsamples(m.block.get(), m.count);
        default:
            return true;  // not ours: dropped with its block
    }
}

// "YYYY-MM-DD hh:mm:ss " followed by tail.
bool TlogThread::writeline(const char* tail) {
    line_.clear();
    appendstamp(line_, clock_());
    line_ += ' ';
    line_ += tail;
    line_ += "\r\n";
    return file_.writeline(line_);
}

// One line per complete 4-byte group: two signed 16-bit little-endian values.
bool TlogThread::dumpsamples(const std::uint8_t* data, std::size_t count) {
    if (count > kCaptureBlock) count = kCaptureBlock;  // never beyond a capture block
    char buf[16];
    for (std::size_t i = 0; i + 4 <= count; i += 4) {
        line_.clear();
        auto r = std::to_chars(buf, buf + sizeof buf, le16(data + i));
        line_.append(buf, r.ptr);
        line_ += ' ';
        r = std::to_chars(buf, buf + sizeof buf, le16(data + i + 2));
        line_.append(buf, r.ptr);
        line_ += "\r\n";
        if (!file_.writeline(line_)) return false;
    }
    return true;
}
