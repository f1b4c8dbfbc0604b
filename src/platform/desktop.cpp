#include "platform/desktop.h"

#include <cmath>
#include <ctime>

namespace platform {

namespace {
// Days from 30 December 1899 to 1 January 1970.
constexpr double kUnixEpochDays = 25569.0;
}  // namespace

double LocalTime::todatetime() const {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    const double days = std::floor(static_cast<double>(timegm(&tm)) / 86400.0) + kUnixEpochDays;
    return days + (hour * 3600.0 + minute * 60.0 + second + millisecond / 1000.0) / 86400.0;
}

LocalTime LocalTime::fromdatetime(double days) {
    double whole = std::floor(days);
    long long ms = std::llround((days - whole) * 86400000.0);
    if (ms >= 86400000LL) {
        whole += 1;
        ms -= 86400000LL;
    }
    std::time_t t = static_cast<std::time_t>((whole - kUnixEpochDays) * 86400.0);
    std::tm tm{};
    gmtime_r(&t, &tm);
    LocalTime lt;
    lt.year = tm.tm_year + 1900;
    lt.month = tm.tm_mon + 1;
    lt.day = tm.tm_mday;
    lt.hour = static_cast<int>(ms / 3600000);
    lt.minute = static_cast<int>(ms / 60000 % 60);
    lt.second = static_cast<int>(ms / 1000 % 60);
    lt.millisecond = static_cast<int>(ms % 1000);
    return lt;
}

}  // namespace platform
