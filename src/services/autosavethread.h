// The auto-save thread: appends one time-stamped SNR/IMD line per posted status block to the
// daily file imd_snr_<YYYY_MM_DD>.txt in the auto-save folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/desktop.h"
#include "platform/workerthread.h"
#include "services/textfile.h"

// The SNR/IMD line, CR LF included; the figures are the status bytes in half decibels. Shared
// with the SNR window's text export.
std::string snrimdline(const platform::LocalTime& t, std::uint8_t snr, std::uint8_t limd,
                       std::uint8_t uimd);

class tautosavethread : public platform::WorkerThread {
  public:
    // The queue takes posts from now on; start() (inherited) runs the thread, which opens no
    // file before the first status block.
    explicit tautosavethread(LocalClock clock = {}, WriteCall write = {});
    ~tautosavethread() override;

    // The folder of the daily files, used as a plain prefix; safe from any thread. The thread
    // reads it when it next opens a file (a new day, or after kMsgReopen).
    void setfolder(std::string folder);

  protected:
    void execute() override;

  private:
    struct FileDate {
        std::uint16_t year = 0, month = 0, day = 0;
    };
    void handle(const platform::ThreadMessage& m);
    std::string formatline(const std::uint8_t* block);
    void writeline(const std::string& line);
    void openimdfile();
    void closeimdfile();
    std::string folder();

    LineFile file_;
    FileDate filedate_;
    bool reopen_ = false;
    platform::LocalTime stamp_;
    bool opened_ = false;
    LocalClock clock_;
    std::mutex foldermutex_;
    std::string folder_;  // guarded by foldermutex_
};

// Copies count bytes of data (when present) into a fresh block and posts it with msg. True when
// the thread took the message; otherwise the block is freed here.
bool postautosave(tautosavethread* t, unsigned msg, const std::uint8_t* data, std::size_t count);
