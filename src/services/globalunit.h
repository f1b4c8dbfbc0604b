// The numbers of the messages the worker threads understand.
#pragma once

// Log thread messages.
inline constexpr unsigned kMsgText = 1225;        // an event text
inline constexpr unsigned kMsgReceived = 1226;    // bytes received from the exciter
inline constexpr unsigned kMsgSent = 1227;        // a frame sent to the exciter
inline constexpr unsigned kMsgDumpFirst = 1228;   // first half of a raw capture
inline constexpr unsigned kMsgDumpSecond = 1229;  // second half of a raw capture
// Auto-save thread messages.
inline constexpr unsigned kMsgStatus = 1325;  // a 4-byte status block
inline constexpr unsigned kMsgReopen = 1326;  // the folder changed: reopen the file
