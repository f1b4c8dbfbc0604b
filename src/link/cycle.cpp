// The acquisition cycle: pacing of requests, the read path, dispatch and the reply time-out.
#include <algorithm>

#include "link/exciterlink.h"

namespace exciter {

void Link::send() {
    socket_->sendbuf(txframe_.data(), kTxFrameSize);
    if (settings.logtraffic) owner_.log(LogKind::Sent, "", txframe_.data(), kTxFrameSize);
}

void Link::sendrequest(std::int16_t code) {
    if (code != 1 && code != 2) return;
    buildrequest(txframe_.data(), code);
    if (!socket_->active()) return;
    send();
    tmr_out.restart();
}

void Link::sendframeack(const std::uint8_t* frame) {
    buildack(txframe_.data(), frame);
    if (!socket_->active()) return;
    tmr_out.restart();
    send();
}

void Link::tick() {
    ++state_.tickcount;
    if (state_.tickcount % 100 == 0) ++state_.seccount;
}

void Link::update() {
    if (!windowopen() || !socket_->active()) return;
    tmr_update.setenabled(false);
    if (takescaptures(state_.formkind) && state_.capturemark + 1 < state_.seccount) {
        state_.capturemark = state_.seccount;
        sendrequest(1);
        return;
    }
    if (state_.formkind == WindowKind::ImdSnr && state_.statusmark != state_.seccount) {
        state_.statusmark = state_.seccount;
        sendrequest(2);
        return;
    }
    tmr_update.setenabled(true);
}

// TCP is a byte stream: a read that holds the start of a frame (right ID and header, a length
// that fits) but not all of it is kept, and the rest is taken from the following reads.
bool Link::holdpartial(std::size_t n) {
    if (n == 0 || rxframe_[0] != kFrameId) return false;
    if (n >= 2 && rxframe_[1] != kFrameHeader) return false;
    if (n < 4) return true;
    const std::size_t len = framelength(rxframe_.data());
    return len >= 10 && len <= static_cast<std::size_t>(kMaxRead) && n < len;
}

void Link::read() {
    std::size_t n = 0;
    const int avail = socket_->receivelength();
    if (state_.rxheld == 0) {
        rxframe_.fill(0);
        const int want = avail < kMaxRead ? avail : kMaxRead;
        n = want > 0 ? static_cast<std::size_t>(socket_->receivebuf(rxframe_.data(), want)) : 0;
        if (settings.logtraffic) owner_.log(LogKind::Received, "", rxframe_.data(), n);
    } else {
        // Complete the held frame: its length is known once four bytes are in.
        const std::size_t held = state_.rxheld;
        const std::size_t target = held < 4 ? 4 : framelength(rxframe_.data());
        const int want = static_cast<int>(std::min<std::size_t>(target - held, avail));
        const int got = want > 0 ? socket_->receivebuf(rxframe_.data() + held, want) : 0;
        if (settings.logtraffic) owner_.log(LogKind::Received, "", rxframe_.data() + held, got);
        n = held + static_cast<std::size_t>(got);
        state_.rxheld = 0;
    }
    if (!tmr_out.enabled()) return;
    if (holdpartial(n)) {
        state_.rxheld = n;
        return;
    }
    reportformat(checkframe(rxframe_.data(), rxframe_.size()));
    state_.retrycount = 0;
    // The reply time-out keeps counting from the last frame sent: an accepted frame ends the
    // wait through its handler (acknowledgement or status taken), while a rejected or foreign
    // one leaves it alone, so a peer that keeps sending what cannot be taken never postpones
    // the retry.
    dispatchframe(rxframe_.data());
}

void Link::reportformat(int code) {
    if (code != FrameOk) owner_.log(LogKind::Text, "Frame Format Error,type:" + checktexts[code]);
}

bool Link::dispatchframe(const std::uint8_t* frame) {
    switch (functioncode(frame)) {
        case 1:
            return onsampleframe(frame);
        case 2:
            return onstatusframe(frame);
        default:
            return false;
    }
}

void Link::timeout() {
    if (state_.rxheld != 0) {
        // The rest of a held frame will not come now: it fails its checks as a frame whose
        // missing bytes read as zeros, and is reported and dropped.
        reportformat(checkframe(rxframe_.data(), rxframe_.size()));
        state_.rxheld = 0;
    }
    if (state_.retrycount >= 3) {
        state_.retrycount = 0;
        state_.packetno = 0;
        tmr_out.setenabled(false);
        const std::string text = "Receive Frame Timeout,Please Check!Current Form Will Close!";
        owner_.log(LogKind::Text, text);
        owner_.errorbox(text);
        closewindow();
        return;
    }
    ++state_.retrycount;
    state_.packetno = 0;
    if (state_.formkind == WindowKind::ImdSnr)
        state_.statusmark = 0;
    else
        state_.capturemark = 0;
    tmr_out.setenabled(false);
    tmr_update.setenabled(true);
    owner_.log(LogKind::Text, "Receive Frame Timeout,and will reread again!");
}

}  // namespace exciter
