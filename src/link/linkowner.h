// What the exciter link needs from whoever holds it: the desktop client's main window, or a
// program that watches exciters without a screen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace exciter {

// The measurement window open on the link; all but the IMD and SNR window take captures, that
// one takes status blocks.
enum class WindowKind : std::int32_t {
    None = 0,
    Constellation = 1,
    EyeDiagram = 2,
    Amplitude = 3,
    Spectrum = 4,
    ImdSnr = 5,
    SignalQuality = 6,
};

inline bool takescaptures(WindowKind k) {
    return (k >= WindowKind::Constellation && k <= WindowKind::Spectrum) ||
           k == WindowKind::SignalQuality;
}

enum class LinkEvent {
    Connecting,    // a connect has started
    Connected,     // the link is up
    Disconnected,  // an orderly close, by either side
    Failed,        // a connect or an established link failed: the text names the system's error
};

// What the link writes to the log.
enum class LogKind {
    Text,        // an event text
    Received,    // bytes received from the exciter
    Sent,        // a frame sent to the exciter
    DumpFirst,   // first half of a raw capture
    DumpSecond,  // second half of a raw capture
};

struct LinkSettings {
    bool logtraffic = false;    // every frame sent and received goes to the log
    bool autosave = false;      // every status block taken goes to the SNR/IMD history
    bool dumpcaptures = false;  // every raw capture goes to the log before it is measured
    bool keepbuttons = false;   // debug mode: losing the link leaves the window buttons usable
};

class LinkOwner {
  public:
    virtual ~LinkOwner() = default;

    // The open window: a new result block to plot, a new status block for the readout, a
    // capture the engine refused (the plot stays, its verdicts are no longer current), and the
    // request to close after the link has given up.
    virtual void showdata(const std::uint8_t* resultblock) = 0;
    virtual void showstatus(const std::uint8_t* statusblock) = 0;
    virtual void shownosignal() = 0;
    virtual void closewindow() = 0;

    // The connection changed; `text` is what the status line shows.
    virtual void linkchanged(LinkEvent event, const std::string& text) = 0;
    // A failure the operator must acknowledge; returns once acknowledged.
    virtual void errorbox(const std::string& text) = 0;
    virtual void log(LogKind kind, const std::string& text, const std::uint8_t* data = nullptr,
                     std::size_t count = 0) = 0;
    // A status block for the SNR/IMD history.
    virtual void autosave(const std::uint8_t* statusblock) = 0;
    // The gain handed to the engine with each capture.
    virtual std::int32_t gain() = 0;

    // Counted events, for an owner that keeps figures (the log already has their texts): a
    // frame that failed its checks (a FrameCheck code), and a reply time-out (`gaveup` when it
    // was the one that closes the window).
    virtual void frameerror(int /*code*/) {}
    virtual void timedout(bool /*gaveup*/) {}
};

}  // namespace exciter
