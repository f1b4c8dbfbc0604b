// Capture reassembly: sample packets are checked, acknowledged, placed in the capture area and,
// after the last one, measured; status frames update the readout.
#include <cstring>

#include "engine/dllexport.h"
#include "engine/resultlayout.h"
#include "link/exciterlink.h"

namespace exciter {

namespace {
constexpr std::size_t kShortPacket = 1034;  // no status block
constexpr std::size_t kLongPacket = 1038;   // status block at bytes 1032..1035
constexpr std::size_t kStatusFrame = 14;
constexpr std::size_t kPacketData = 1024;
}  // namespace

void Link::takestatus(const std::uint8_t* status) {
    std::memcpy(buffers_->statusblock, status, 4);
    if (windowopen()) owner_.showstatus(buffers_->statusblock);
    if (settings.autosave) owner_.autosave(buffers_->statusblock);
}

bool Link::onsampleframe(const std::uint8_t* frame) {
    const std::size_t len = framelength(frame);
    if (len != kShortPacket && len != kLongPacket) return false;
    const std::uint32_t count = frame[6];
    const std::uint32_t number = frame[7];
    if (count > 32 || number > count || number != state_.packetno + 1) return false;
    state_.packetno = number == count ? 0 : number;
    sendframeack(frame);
    std::memcpy(buffers_->capturearea + (number - 1) * kPacketData, frame + 8, kPacketData);
    // Only a long packet carries a status block; a short one's bytes there are its checksum,
    // tail and nothing.
    if (len == kLongPacket && state_.statusmark != state_.seccount) {
        state_.statusmark = state_.seccount;
        takestatus(frame + 1032);
    }
    if (number != count) return true;
    if (!takeresult(runengine())) return true;
    tmr_update.setenabled(true);
    if (windowopen()) owner_.showdata(buffers_->resultblock);
    return true;
}

bool Link::onstatusframe(const std::uint8_t* frame) {
    if (framelength(frame) != kStatusFrame) return false;
    if (frame[6] != 0 || frame[7] != 0) return false;
    takestatus(frame + 8);
    tmr_out.setenabled(false);
    tmr_update.setenabled(true);
    return true;
}

int Link::runengine() {
    MeasureBuffers& b = *buffers_;
    if (settings.dumpcaptures) {
        splitsamples(b.capturearea, b.sampleblock, [this](int half, const std::uint8_t* raw) {
            owner_.log(half == 0 ? LogKind::DumpFirst : LogKind::DumpSecond, "", raw, kHalfBytes);
        });
    } else {
        splitsamples(b.capturearea, b.sampleblock);
    }
    state_.gainvalue = owner_.gain();
    return monitormain(b.sampleblock, b.resultblock, static_cast<double>(state_.gainvalue), 0, 0);
}

void Link::simulate() {
    fillsimulated(buffers_->capturearea, simseed);
    if (takeresult(runengine()) && windowopen()) owner_.showdata(buffers_->resultblock);
}

bool Link::takeresult(int result) {
    const bool signal = result == 0 && resultlayout::locked(buffers_->resultblock);
    if (!signal && !nosignal_) owner_.log(LogKind::Text, kNoSignalText);
    nosignal_ = !signal;
    // A refusal leaves the last plot, but its verdicts are no longer current.
    if (result != 0 && windowopen()) owner_.shownosignal();
    return result == 0;
}

}  // namespace exciter
