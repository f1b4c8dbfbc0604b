// The settings held in memory for the run: read from config.ini at start, changed by the
// configuration dialog. The main window owns the one object and hands it to those that need
// it; it lives on the user-interface thread (the auto-save thread keeps its own copy of the
// folder).
#pragma once

#include <cstdint>
#include <string>

struct imd_auto_save {
    bool enabled = false;
    std::int32_t cycle = 0;
    std::uint8_t cycletype = 0;  // 0 Second, 1 Minute, 2 Hour, 3 Day
    std::string path;            // folder of the daily SNR/IMD files, used as a plain prefix
};

struct Settings {
    imd_auto_save autosavecfg;
    std::string defaultip;
    bool savecomm = false;
};

// The exciter address the address edit shows before any setting is applied.
inline constexpr const char* kDefaultExciterIp = "192.168.1.100";
