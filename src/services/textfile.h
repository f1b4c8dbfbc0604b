// Helpers shared by the daily text files (log, SNR/IMD file): the local clock, timestamp
// formatting without iostreams or locale look-ups, and opening a file for appending.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "platform/desktop.h"

// Where a worker takes its local time from; empty means the desktop's clock.
using LocalClock = std::function<platform::LocalTime()>;
LocalClock orDesktopClock(LocalClock clock);

// Appends v in decimal, zero-padded to at least `width` digits (printf's "%.Nd").
void appendpadded(std::string& out, int v, int width);
// Appends "YYYY-MM-DD hh:mm:ss".
void appendstamp(std::string& out, const platform::LocalTime& t);

struct AppendFile {
    std::FILE* file = nullptr;
    bool existed = false;  // the file was there before the call
};
// Opens name for appending in binary mode (lines carry their own CR LF), creating it when
// missing. Gives the file a buffer of its own so that the per-line flush is the only write.
AppendFile openappend(const std::string& name);
// Writes text and flushes; false when either fails.
bool writeflush(std::FILE* f, const std::string& text);
