#include "daemon/keeper.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <vector>

namespace watch {

namespace fs = std::filesystem;

std::string utcnow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    return records::isodatetime(t, static_cast<int>(ms));
}

Keeper::Keeper(std::string folder, std::uint64_t capbytes)
    : folder_(std::move(folder)), capbytes_(capbytes) {
    std::error_code ec;
    fs::create_directories(folder_, ec);
}

bool Keeper::keep(const std::uint8_t* capture, const records::Facts& facts, std::string& error) {
    // "2026-12-10T03:00:00.123Z" -> "20261210T030000123Z": sorts by time, safe in a file name.
    std::string stamp;
    for (char c : facts.datetime)
        if (std::isdigit(static_cast<unsigned char>(c)) || c == 'T' || c == 'Z') stamp += c;
    const std::string base = (fs::path(folder_) / (facts.exciter + "-" + stamp)).string();
    if (!records::writerecording(base, capture, facts, error)) return false;
    prune();
    return true;
}

// Whole recordings go, the oldest first by their files' times (names sort by exciter first).
void Keeper::prune() {
    struct Entry {
        fs::file_time_type when;
        std::string base;
        std::uint64_t bytes;
    };
    std::vector<Entry> all;
    std::uint64_t total = 0;
    std::error_code ec;
    // Error codes throughout: a file that goes meanwhile must not end the daemon.
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string p = it->path().string();
        if (p.size() < 11 || p.compare(p.size() - 11, 11, ".sigmf-meta") != 0) continue;
        const std::string base = records::basename(p);
        std::error_code metaec, dataec, timeec;
        const std::uint64_t meta = it->file_size(metaec);
        const std::uint64_t data = fs::file_size(base + ".sigmf-data", dataec);
        const auto when = it->last_write_time(timeec);
        if (metaec || timeec) continue;
        const std::uint64_t bytes = meta + (dataec ? 0 : data);
        all.push_back({when, base, bytes});
        total += bytes;
    }
    if (total <= capbytes_) return;
    std::sort(all.begin(), all.end(), [](const Entry& a, const Entry& b) {
        // Within one tick of the file clock the name's time decides.
        return a.when != b.when ? a.when < b.when : a.base < b.base;
    });
    for (const Entry& e : all) {
        if (total <= capbytes_) break;
        // The metadata goes first: a data file alone is no recording.
        fs::remove(e.base + ".sigmf-meta", ec);
        fs::remove(e.base + ".sigmf-data", ec);
        total -= std::min(total, e.bytes);
    }
}

}  // namespace watch
