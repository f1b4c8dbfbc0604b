// The settings held in memory for the whole run, and the numbers of the messages the worker
// threads understand.
#pragma once

#include <cstdint>
#include <string>

struct imd_auto_save {
    bool enabled = false;
    std::int32_t cycle = 0;
    std::uint8_t cycletype = 0;  // 0 Second, 1 Minute, 2 Hour, 3 Day
    std::string path;            // folder of the daily SNR/IMD files, used as a plain prefix
};

// The exciter address the address edit shows before any setting is applied.
inline constexpr const char* kDefaultExciterIp = "192.168.1.100";

// Log thread messages.
inline constexpr unsigned kMsgText = 1225;        // an event text
inline constexpr unsigned kMsgReceived = 1226;    // bytes received from the exciter
inline constexpr unsigned kMsgSent = 1227;        // a frame sent to the exciter
inline constexpr unsigned kMsgDumpFirst = 1228;   // first half of a raw capture
inline constexpr unsigned kMsgDumpSecond = 1229;  // second half of a raw capture
// Auto-save thread messages.
inline constexpr unsigned kMsgStatus = 1325;  // a 4-byte status block
inline constexpr unsigned kMsgReopen = 1326;  // the folder changed: reopen the file

// Written on the user-interface thread only. autosavecfg.path is also read by the auto-save
// thread, so it is replaced only through setautosavepath(); the user-interface thread may read
// the field directly, other threads use autosavepath().
extern imd_auto_save autosavecfg;
extern std::string defaultip;
extern bool savecomm;

void setautosavepath(std::string path);
// A consistent copy of autosavecfg.path, safe from any thread.
std::string autosavepath();
