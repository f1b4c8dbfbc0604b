#include "records/logdumps.h"

#include <charconv>
#include <ctime>
#include <fstream>

#include "records/sigmf.h"

namespace records {

namespace {

constexpr std::size_t kStamp = 19;  // "YYYY-MM-DD hh:mm:ss"
constexpr std::size_t kHalfLines = kSamples / 2;

bool isstamp(const std::string& s) {
    if (s.size() < kStamp) return false;
    for (std::size_t i = 0; i < kStamp; ++i) {
        const char c = s[i];
        const bool digit = c >= '0' && c <= '9';
        if (i == 4 || i == 7     ? c != '-'
            : i == 10            ? c != ' '
            : i == 13 || i == 16 ? c != ':'
                                 : !digit)
            return false;
    }
    return true;
}

// "I Q" with both in the 16-bit range.
bool sampleline(const std::string& s, std::uint8_t* out) {
    int v[2];
    const char* p = s.data();
    const char* end = s.data() + s.size();
    for (int k = 0; k < 2; ++k) {
        if (k == 1) {
            if (p == end || *p != ' ') return false;
            ++p;
        }
        const auto r = std::from_chars(p, end, v[k]);
        if (r.ec != std::errc() || v[k] < -32768 || v[k] > 32767) return false;
        p = r.ptr;
    }
    if (p != end) return false;
    for (int k = 0; k < 2; ++k) {
        const auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(v[k]));
        out[2 * k] = static_cast<std::uint8_t>(u & 0xFF);
        out[2 * k + 1] = static_cast<std::uint8_t>(u >> 8);
    }
    return true;
}

class Reader {
  public:
    explicit Reader(std::istream& in) : in_(in) {}
    bool next(std::string& line) {
        if (!std::getline(in_, line)) return false;
        ++number_;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
    }
    int number() const { return number_; }

  private:
    std::istream& in_;
    int number_ = 0;
};

}  // namespace

bool readlogdumps(const std::string& path, const std::function<void(const LogCapture&)>& take,
                  std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    Reader r(in);
    const auto fail = [&](const std::string& what) {
        error = path + ":" + std::to_string(r.number()) + ": " + what;
        return false;
    };
    std::string line;
    LogCapture c;
    while (r.next(line)) {
        if (!isstamp(line) || line.compare(kStamp, std::string::npos, " Receive complex:") != 0)
            continue;
        c.stamp = line.substr(0, kStamp);
        c.line = r.number();
        c.capture.assign(kDataBytes, 0);
        for (std::size_t half = 0; half < 2; ++half) {
            if (half == 1 && (!r.next(line) || !isstamp(line) || line.size() != kStamp + 1))
                return fail("a capture dump without its second half");
            for (std::size_t k = 0; k < kHalfLines; ++k) {
                if (!r.next(line)) return fail("a capture dump cut short");
                if (!sampleline(line, &c.capture[(half * kHalfLines + k) * 4]))
                    return fail("not a sample line (\"I Q\") in a capture dump");
            }
        }
        take(c);
    }
    return true;
}

std::string utcfromlocal(const std::string& stamp) {
    if (!isstamp(stamp) || stamp.size() != kStamp) return {};
    std::tm tm{};
    tm.tm_year = std::stoi(stamp.substr(0, 4)) - 1900;
    tm.tm_mon = std::stoi(stamp.substr(5, 2)) - 1;
    tm.tm_mday = std::stoi(stamp.substr(8, 2));
    tm.tm_hour = std::stoi(stamp.substr(11, 2));
    tm.tm_min = std::stoi(stamp.substr(14, 2));
    tm.tm_sec = std::stoi(stamp.substr(17, 2));
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) return {};
    return isodatetime(t, 0);
}

}  // namespace records
