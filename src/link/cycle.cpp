// The acquisition cycle: pacing of requests, the read path, dispatch and the reply time-out.
#include <cstring>

#include "engine/buffers.h"
#include "platform/backend.h"
#include "platform/desktop.h"
#include "services/globalunit.h"
#include "shell/mainfram.h"

void Tmainform::sendrequest(std::int16_t code) {
    if (code != 1 && code != 2) return;
    buildrequest(txframe.data(), code);
    if (!socket_link->active()) return;
    socket_link->sendbuf(txframe.data(), kTxFrameSize);
    tmr_out.restart();
    if (savecomm) postlog(kMsgSent, "", txframe.data(), kTxFrameSize);
}

void Tmainform::sendframeack(const std::uint8_t* frame) {
    buildack(txframe.data(), frame);
    if (!socket_link->active()) return;
    tmr_out.restart();
    socket_link->sendbuf(txframe.data(), kTxFrameSize);
    if (savecomm) postlog(kMsgSent, "", txframe.data(), kTxFrameSize);
}

void Tmainform::tmr_tickTimer() {
    ++tickcount;
    if (tickcount % 100 == 0) ++seccount;
}

void Tmainform::tmr_updateTimer() {
    if (formkind == 0 || !socket_link->active()) return;
    tmr_update.setenabled(false);
    if (formkind >= 1 && formkind <= 4 && capturemark + 1 < seccount) {
        capturemark = seccount;
        sendrequest(1);
        return;
    }
    if (formkind == 5 && statusmark != seccount) {
        statusmark = seccount;
        sendrequest(2);
        return;
    }
    tmr_update.setenabled(true);
}

// TCP is a byte stream: a read that holds the start of a frame (right ID and header, a length
// that fits) but not all of it is kept, and the rest is taken from the following reads.
bool Tmainform::holdpartial(std::size_t n) {
    if (n == 0 || rxframe[0] != kFrameId) return false;
    if (n >= 2 && rxframe[1] != kFrameHeader) return false;
    if (n < 4) return true;
    const std::size_t len = framelength(rxframe.data());
    return len >= 10 && len <= static_cast<std::size_t>(kMaxRead) && n < len;
}

void Tmainform::socket_linkRead() {
    std::size_t n = 0;
    const int avail = socket_link->receivelength();
    if (rxheld == 0) {
        rxframe.fill(0);
        const int want = avail < kMaxRead ? avail : kMaxRead;
        n = want > 0 ? static_cast<std::size_t>(socket_link->receivebuf(rxframe.data(), want)) : 0;
        if (savecomm) postlog(kMsgReceived, "", rxframe.data(), n);
    } else {
        // Complete the held frame: its length is known once four bytes are in.
        const std::size_t target = rxheld < 4 ? 4 : framelength(rxframe.data());
        const int want = static_cast<int>(std::min<std::size_t>(target - rxheld, avail));
        const int got = want > 0 ? socket_link->receivebuf(rxframe.data() + rxheld, want) : 0;
        if (savecomm) postlog(kMsgReceived, "", rxframe.data() + rxheld, got);
        n = rxheld + static_cast<std::size_t>(got);
        rxheld = 0;
    }
    if (!tmr_out.enabled()) return;
    if (holdpartial(n)) {
        rxheld = n;
        return;
    }
    reportformat(checkframe(rxframe.data(), rxframe.size()));
    retrycount = 0;
    // The reply time-out keeps counting from the last frame sent: an accepted frame ends the
    // wait through its handler (acknowledgement or status taken), while a rejected or foreign
    // one leaves it alone, so a peer that keeps sending what cannot be taken never postpones
    // the retry.
    dispatchframe(rxframe.data());
}

void Tmainform::reportformat(int code) {
    if (code != FrameOk) postlog(kMsgText, "Frame Format Error,type:" + checktexts[code]);
}

bool Tmainform::dispatchframe(const std::uint8_t* frame) {
    switch (functioncode(frame)) {
        case 1:
            return onsampleframe(frame);
        case 2:
            return onstatusframe(frame);
        default:
            return false;
    }
}

void Tmainform::refreshformdata() {
    if (formkind >= 1 && formkind <= 5 && openwindow_) openwindow_->showdata(resultblock);
}

void Tmainform::refreshformstatus() {
    if (formkind >= 1 && formkind <= 5 && openwindow_) openwindow_->showstatus(statusblock);
}

void Tmainform::tmr_outTimer() {
    if (rxheld != 0) {
        // The rest of a held frame will not come now: it fails its checks as a frame whose
        // missing bytes read as zeros, and is reported and dropped.
        reportformat(checkframe(rxframe.data(), rxframe.size()));
        rxheld = 0;
    }
    if (retrycount >= 3) {
        retrycount = 0;
        packetno = 0;
        tmr_out.setenabled(false);
        const std::string text = "Receive Frame Timeout,Please Check!Current Form Will Close!";
        postlog(kMsgText, text);
        platform::desktop().errorbox(text);
        close_open_form();
        return;
    }
    ++retrycount;
    packetno = 0;
    if (formkind == 5)
        statusmark = 0;
    else
        capturemark = 0;
    tmr_out.setenabled(false);
    tmr_update.setenabled(true);
    postlog(kMsgText, "Receive Frame Timeout,and will reread again!");
}

void Tmainform::formclosed() {
    setmeasurebuttons(true);
    formkind = 0;
    tmr_update.setenabled(true);
    tmr_out.setenabled(false);
    retrycount = 0;
    packetno = 0;
    rxheld = 0;
    nosignal_ = false;  // the next window's first capture without signal is logged again
    btn_disconnect.setenabled(true);
}

void Tmainform::close_open_form() {
    if (formkind >= 1 && formkind <= 5 && openwindow_) openwindow_->form().close();
}
