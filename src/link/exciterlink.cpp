// The link's life: its socket and timers wired to their handlers, the start-up state and the
// measurement window it serves.
#include "link/exciterlink.h"

#include <cstring>

#include "platform/backend.h"

namespace exciter {

Link::Link(LinkOwner& owner)
    : owner_(owner),
      socket_(platform::backend().createsocket()),
      buffers_(std::make_unique<MeasureBuffers>()) {
    socket_->onconnecting = [this] { connecting(); };
    socket_->onconnect = [this] { connectdone(); };
    socket_->ondisconnect = [this] { disconnected(); };
    socket_->onread = [this] { read(); };
    socket_->onerror = [this](platform::SocketErrorKind k, int& c) { socketerror(k, c); };
    tmr_tick.ontimer = [this] { tick(); };
    tmr_update.ontimer = [this] { update(); };
    tmr_out.ontimer = [this] { timeout(); };
}

Link::~Link() = default;

void Link::reset() {
    std::memset(buffers_->resultblock, 0, sizeof buffers_->resultblock);
    simseed = clockseed();
    restart();
}

void Link::restart() {
    rxframe_.fill(0);
    state_ = CycleState{};
    nosignal_ = false;
    tmr_tick.setinterval(10);
    tmr_out.setenabled(false);
    tmr_out.setinterval(2000);
}

void Link::windowopened(WindowKind kind) {
    state_.formkind = kind;
}

void Link::windowclosed() {
    state_.formkind = WindowKind::None;
    tmr_update.setenabled(true);
    tmr_out.setenabled(false);
    state_.retrycount = 0;
    state_.packetno = 0;
    state_.rxheld = 0;
    nosignal_ = false;  // the next window's first capture without signal is logged again
}

void Link::closewindow() {
    if (windowopen()) owner_.closewindow();
}

}  // namespace exciter
