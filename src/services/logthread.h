// The log thread: writes the daily log file log<YYYY-MM-DD>.txt in the log folder (beside the
// executable when writable) from the entries posted to its queue, so the user-interface thread
// never waits for the disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/workerthread.h"
#include "services/textfile.h"

class TlogThread : public platform::WorkerThread {
  public:
    // The queue takes posts from now on; start() (inherited) runs the thread.
    explicit TlogThread(LocalClock clock = {}, WriteCall write = {});
    ~TlogThread() override;

  protected:
    void execute() override;

  private:
    bool openlogfile();
    bool closelogfile();
    // Empties the queue; false when a write failed.
    bool drain();
    bool handle(const platform::ThreadMessage& m);
    bool writeline(const char* tail);
    bool dumpsamples(const std::uint8_t* data, std::size_t count);

    LocalClock clock_;
    LineFile file_;
    std::string line_;  // reused for every line
};

// Copies the payload of one log entry into a fresh block and posts it to t: 1225 takes text,
// 1226..1229 take data and count; other numbers post nothing. True when the thread took the
// block; otherwise (no thread, thread ended, no memory) the block is freed here.
bool postlog(TlogThread* t, unsigned msg, const std::string& text, const std::uint8_t* data,
             std::size_t count);
