// What /proc tells of a running process: its processor time and its resident memory.
#pragma once

#include <sys/types.h>

#include <fstream>
#include <sstream>
#include <string>

namespace korvin::test {

// utime + stime of a process, in clock ticks; -1 when it has gone.
inline long cputicks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    if (!std::getline(in, stat) || stat.rfind(')') == std::string::npos) return -1;
    // The command name may hold blanks and parentheses: the fields start after the last ')'.
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string skip;
    for (int i = 3; i < 14; ++i) fields >> skip;  // state .. cmajflt
    long utime = 0, stime = 0;
    fields >> utime >> stime;
    return utime + stime;
}

// VmRSS of a process in kB; -1 when it has gone.
inline long rsskb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

}  // namespace korvin::test
