// The capture dumps of a super-mode log: each capture the client measured is written there as
// "<stamp> Receive complex:", 4,096 lines "I Q" of the first half, "<stamp> " and 4,096 lines of
// the second half. Read back, they become recordings.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace records {

struct LogCapture {
    std::string stamp;                  // "YYYY-MM-DD hh:mm:ss", the writer's local time
    int line = 0;                       // where its dump starts
    std::vector<std::uint8_t> capture;  // 32,768 bytes, as the exciter sent them
};

// Calls `take` for each complete dump, in order. False with one line naming the file and the
// line when a dump is cut short or holds something else than samples (the dumps before it
// have been taken).
bool readlogdumps(const std::string& path, const std::function<void(const LogCapture&)>& take,
                  std::string& error);

// "YYYY-MM-DD hh:mm:ss" of this machine's local time as ISO 8601 UTC with milliseconds;
// empty when it is no such time.
std::string utcfromlocal(const std::string& stamp);

}  // namespace records
