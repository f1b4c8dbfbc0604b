// The link to one exciter: the connection, the acquisition cycle that paces requests and waits
// for replies, and the reassembly of captures from their 32 packets. It owns the socket, the
// three timers, the frame state and the measurement buffers, and runs without a main window: it
// tells its owner what to show and what happened through LinkOwner.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/buffers.h"
#include "link/frames.h"
#include "link/linkowner.h"
#include "platform/clientsocket.h"
#include "platform/timer.h"

namespace exciter {

// Logged when a run of captures without a signal to measure begins.
inline constexpr const char* kNoSignalText = "No 8-VSB signal in the capture!";

// The state of the acquisition cycle, readable by the owner and by tests.
struct CycleState {
    WindowKind formkind = WindowKind::None;  // the open measurement window
    std::uint32_t tickcount = 0;             // 10 ms ticks
    std::uint32_t seccount = 0;              // pace count: one per 100 ticks
    std::uint32_t capturemark = 0;           // pace count of the last capture request
    std::uint32_t statusmark = 0;            // pace count of the last status taken
    std::int32_t retrycount = 0;             // reply time-outs in a row
    std::uint32_t packetno = 0;              // number of the last packet accepted, 0 before one
    std::int32_t gainvalue = 2000;           // handed to the engine with each capture
    std::size_t rxheld = 0;                  // bytes of a frame whose rest is still on its way
};

class Link {
  public:
    explicit Link(LinkOwner& owner);
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // Connection. A port outside 1..65535 fails as an invalid argument without reaching the
    // socket; false when the socket could not even start connecting.
    bool connect(const std::string& address, long long port);
    void disconnect();
    bool connected() const { return socket_->active(); }

    // The measurement window: opened, closed (by the operator or after the link gave up), or
    // asked to close.
    void windowopened(WindowKind kind);
    void windowclosed();
    void closewindow();

    // Start-up: the acquisition state as the program starts, the debug generator seeded from
    // the clock and no result yet.
    void reset();
    // The acquisition state as at start-up (no window, counts and marks from zero, nothing held,
    // the reply time-out stopped), the buffers' contents kept.
    void restart();
    // Debug mode: a capture of noise through the engine, shown like a real one.
    void simulate();

    // Event handlers: the socket's and the timers' (wired in the constructor).
    void connecting();
    void connectdone();
    void disconnected();
    void socketerror(platform::SocketErrorKind kind, int& code);
    void read();
    void tick();
    void update();
    void timeout();

    // Frame handling; true when the frame was accepted.
    bool dispatchframe(const std::uint8_t* frame);
    bool onsampleframe(const std::uint8_t* frame);
    bool onstatusframe(const std::uint8_t* frame);
    int runengine();
    // After an engine call with its result: true when the result block holds a measurement to
    // show. A refused or unlocked capture begins a run without signal, logged once; the next
    // locked result ends it. A refusal also tells the open window.
    bool takeresult(int result);

    platform::ClientSocket& socket() { return *socket_; }
    const CycleState& state() const { return state_; }
    MeasureBuffers& buffers() { return *buffers_; }
    const std::uint8_t* statusblock() const { return buffers_->statusblock; }

    LinkSettings settings;
    std::uint32_t simseed = 1;  // debug captures' generator state, from the clock at start-up

    platform::Timer tmr_update{"tmr_update", 100, true};
    platform::Timer tmr_out{"tmr_out", 2000, false};
    platform::Timer tmr_tick{"tmr_tick", 10, true};

  private:
    void sendrequest(std::int16_t code);
    void sendframeack(const std::uint8_t* frame);
    void send();
    bool holdpartial(std::size_t n);
    void reportformat(int code);
    void takestatus(const std::uint8_t* status);
    bool windowopen() const { return state_.formkind != WindowKind::None; }

    LinkOwner& owner_;
    std::unique_ptr<platform::ClientSocket> socket_;
    std::unique_ptr<MeasureBuffers> buffers_;  // about 1 MB: made once, on the heap
    CycleState state_;
    std::array<std::uint8_t, kRxFrameSize> rxframe_{};
    std::array<std::uint8_t, kTxFrameSize> txframe_{};
    bool nosignal_ = false;  // within a run of refused or unlocked captures
};

// The operating system's text for an error code, without trailing blanks, controls and stops.
std::string linkerrormessage(int code);

}  // namespace exciter
