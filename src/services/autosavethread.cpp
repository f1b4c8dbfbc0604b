#include "services/autosavethread.h"

#include <chrono>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <utility>

#include "services/globalunit.h"

namespace {

constexpr std::size_t kStatusBytes = 4;

// A half-decibel count as printf's "%2.1f" of count / 2 prints it, without floating point.
void appendhalfdb(std::string& out, std::uint8_t v) {
    out += std::to_string(v / 2);
    out += (v % 2) ? ".5" : ".0";
}

}  // namespace

std::string snrimdline(const platform::LocalTime& t, std::uint8_t snr, std::uint8_t limd,
                       std::uint8_t uimd) {
    std::string line;
    line.reserve(64);
    appendstamp(line, t);
    line += ",   SNR LID UID,   ";
    appendhalfdb(line, snr);
    line += ",   ";
    appendhalfdb(line, limd);
    line += ",   ";
    appendhalfdb(line, uimd);
    line += "\r\n";
    return line;
}

bool postautosave(tautosavethread* t, unsigned msg, const std::uint8_t* data, std::size_t count) {
    if (!t) return false;
    std::unique_ptr<std::uint8_t[]> block;
    if (data) {
        block.reset(new (std::nothrow) std::uint8_t[count ? count : 1]);
        if (!block) return false;
        if (count) std::memcpy(block.get(), data, count);
    }
    return t->post(msg, count, std::move(block));
}

tautosavethread::tautosavethread(LocalClock clock, WriteCall write)
    : file_(std::move(write)), clock_(orDesktopClock(std::move(clock))) {}

tautosavethread::~tautosavethread() {
    stop();
}

void tautosavethread::setfolder(std::string folder) {
    const std::lock_guard<std::mutex> lock(foldermutex_);
    folder_ = std::move(folder);
}

std::string tautosavethread::folder() {
    const std::lock_guard<std::mutex> lock(foldermutex_);
    return folder_;
}

void tautosavethread::execute() {
    for (;;) {
        waitforwork();
        // Read the flag before draining: whatever was posted before stop() is then in the queue.
        const bool last = terminated();
        platform::ThreadMessage m;
        while (!abandoned() && queue().take(m)) handle(m);
        if (last) break;
    }
    closeimdfile();  // every line is already flushed; this only releases the file
}

void tautosavethread::handle(const platform::ThreadMessage& m) {
    if (m.id == kMsgReopen) {
        reopen_ = true;
        return;
    }
    // A block too short to hold the three figures is not a status block.
    if (m.id != kMsgStatus || !m.block || m.count < kStatusBytes) return;
    stamp_ = clock_();
    stamp_.millisecond = 0;
    writeline(formatline(m.block.get()));
}

std::string tautosavethread::formatline(const std::uint8_t* block) {
    const FileDate d{static_cast<std::uint16_t>(stamp_.year),
                     static_cast<std::uint16_t>(stamp_.month),
                     static_cast<std::uint16_t>(stamp_.day)};
    if (d.year != filedate_.year || d.month != filedate_.month || d.day != filedate_.day) {
        filedate_ = d;
        reopen_ = true;
    }
    return snrimdline(stamp_, block[1], block[2], block[3]);
}

void tautosavethread::writeline(const std::string& line) {
    if (reopen_) {
        closeimdfile();
        openimdfile();
        reopen_ = false;
    }
    file_.writeline(line);  // a failed line is lost, wholly; the next one tries again
}

void tautosavethread::openimdfile() {
    // The folder is read now, so a folder changed in the dialog counts from the next reopen.
    std::string name = folder() + "imd_snr_";
    appendpadded(name, filedate_.year, 4);
    name += '_';
    appendpadded(name, filedate_.month, 2);
    name += '_';
    appendpadded(name, filedate_.day, 2);
    name += ".txt";
    if (file_.open(name)) opened_ = true;
}

void tautosavethread::closeimdfile() {
    file_.close();
}
