// Helpers shared by the daily text files (log, SNR/IMD file): the local clock, timestamp
// formatting without iostreams or locale look-ups, and a file that takes whole lines.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "platform/desktop.h"

// Where a worker takes its local time from; empty means the desktop's clock.
using LocalClock = std::function<platform::LocalTime()>;
LocalClock ordesktopclock(LocalClock clock);

// Appends v in decimal, zero-padded to at least `width` digits (printf's "%.Nd").
void appendpadded(std::string& out, int v, int width);
// Appends "YYYY-MM-DD hh:mm:ss".
void appendstamp(std::string& out, const platform::LocalTime& t);

// Writes like write(2): the count of bytes written, or -1 with errno set. Empty means write(2);
// tests put a disk that fills up here.
using WriteCall = std::function<long(int fd, const char* data, std::size_t size)>;

// A text file open for appending that takes whole lines. Each line goes to the disk at once
// (no buffer of ours to flush later), and a line the disk takes only in part is cut off again,
// so a full disk never leaves a torn line for the next one to run into.
class LineFile {
  public:
    explicit LineFile(WriteCall write = {});
    ~LineFile();
    LineFile(const LineFile&) = delete;
    LineFile& operator=(const LineFile&) = delete;

    // Opens name for appending, creating it when missing. `existed`: it was there before.
    bool open(const std::string& name, bool* existed = nullptr);
    bool isopen() const { return fd_ >= 0; }
    // False when the line could not be written whole; nothing of it stays in the file then.
    bool writeline(const std::string& line);
    // False when the file was open and closing it failed.
    bool close();

  private:
    long write(const char* data, std::size_t size);

    int fd_ = -1;
    WriteCall write_;
};
