// Capture reassembly: sample packets are checked, acknowledged, placed in the capture area and,
// after the last one, measured; status frames update the readout.
#include <cstring>

#include "engine/buffers.h"
#include "engine/dllexport.h"
#include "engine/resultlayout.h"
#include "services/globalunit.h"
#include "shell/mainfram.h"

namespace {
constexpr std::size_t kShortPacket = 1034;  // no status block
constexpr std::size_t kLongPacket = 1038;   // status block at bytes 1032..1035
constexpr std::size_t kStatusFrame = 14;
constexpr std::size_t kPacketData = 1024;
}  // namespace

void Tmainform::takestatus(const std::uint8_t* status) {
    std::memcpy(statusblock, status, 4);
    refreshformstatus();
    if (autosavecfg.enabled) postautosave(kMsgStatus, statusblock, 4);
}

bool Tmainform::onsampleframe(const std::uint8_t* frame) {
    const std::size_t len = framelength(frame);
    if (len != kShortPacket && len != kLongPacket) return false;
    const std::uint32_t count = frame[6];
    const std::uint32_t number = frame[7];
    if (count > 32 || number > count || number != packetno + 1) return false;
    packetno = number == count ? 0 : number;
    sendframeack(frame);
    std::memcpy(capturearea + (number - 1) * kPacketData, frame + 8, kPacketData);
    // Only a long packet carries a status block; a short one's bytes there are its checksum,
    // tail and nothing.
    if (len == kLongPacket && statusmark != seccount) {
        statusmark = seccount;
        takestatus(frame + 1032);
    }
    if (number != count) return true;
    if (!takeresult(runengine())) return true;
    tmr_update.setenabled(true);
    refreshformdata();
    return true;
}

bool Tmainform::onstatusframe(const std::uint8_t* frame) {
    if (framelength(frame) != kStatusFrame) return false;
    if (frame[6] != 0 || frame[7] != 0) return false;
    takestatus(frame + 8);
    tmr_out.setenabled(false);
    tmr_update.setenabled(true);
    return true;
}

int Tmainform::runengine() {
    if (runmode == RunSuper) {
        splitsamples([this](int half, const std::uint8_t* raw) {
            postlog(half == 0 ? kMsgDumpFirst : kMsgDumpSecond, "", raw, kHalfBytes);
        });
    } else {
        splitsamples();
    }
    gainvalue = static_cast<std::int32_t>(edt_port_gain.roundedvalue());
    return monitormain(sampleblock, resultblock, static_cast<double>(gainvalue), 0, 0);
}

void Tmainform::simulatedata() {
    fillsimulated(simseed);
    if (takeresult(runengine())) refreshformdata();
}

bool Tmainform::takeresult(int result) {
    const bool signal = result == 0 && resultlayout::locked(resultblock);
    if (!signal && !nosignal_) postlog(kMsgText, kNoSignalText);
    nosignal_ = !signal;
    // A refusal leaves the last plot, but its verdicts are no longer current.
    if (result != 0) refreshformnosignal();
    return result == 0;
}

void Tmainform::refreshformnosignal() {
    if (formkind >= 1 && formkind <= 5 && openwindow_) openwindow_->shownosignal();
}
