// Fuzz target: whatever the exciter sends, in whatever pieces, with the clock moving and windows
// opening and closing, the main window's read path neither crashes, leaks nor stalls. One fresh
// main window (with its worker threads and the real measurement windows) per input.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/buffers.h"
#include "fuzz/framebuild.h"
#include "fuzz/readscript.h"
#include "link/frames.h"
#include "platform/testkit/headless.h"
#include "shell/mainfram.h"
#include "vsbsignal.h"
#include "windows/windowfactory.h"

namespace {

using korvin::fuzz::Bytes;
using korvin::fuzz::Op;
using korvin::fuzz::Reader;

constexpr int kMaxCommands = 300;               // bounds the engine runs per input
constexpr std::int64_t kMaxVirtualMs = 20'000;  // bounds the timer events and debug-mode captures
constexpr std::size_t kMaxRaw = 2100;

std::filesystem::path& folder() {
    static std::filesystem::path f;
    return f;
}

// One capture of the stand-in exciter's signal, for packets that should measure like real ones.
const std::uint8_t* realcapture() {
    static const Bytes capture = [] {
        Bytes c(kCaptureBytes);
        vsb::Generator gen(7, vsb::Impairments{});
        gen.capture(c.data(), vsb::kCaptureSamples);
        return c;
    }();
    return capture.data();
}

std::string hexbytes(const std::vector<std::uint8_t>& bytes) {
    std::string s;
    char b[4];
    for (std::uint8_t v : bytes) {
        std::snprintf(b, sizeof b, " %02X", v);
        s += b;
    }
    return s;
}

void fail(const char* what) {
    std::fprintf(stderr, "read path invariant broken: %s\n", what);
    std::abort();
}

Bytes makeframe(std::uint16_t fn, std::uint8_t count, std::uint8_t number, const Bytes& payload) {
    Bytes f;
    korvin::fuzz::makeframe(f, fn, count, number, payload.data(), payload.size());
    return f;
}

Bytes makepacket(Reader& in) {
    const std::uint8_t count = in.u8(), number = in.u8(), flags = in.u8();
    Bytes payload(1024);
    if ((flags & 2) && number >= 1 && number <= 32) {
        std::memcpy(payload.data(), realcapture() + (number - 1) * 1024, 1024);
    } else {
        std::uint32_t s = 2463534242u + number;
        for (auto& b : payload) {
            s ^= s << 13, s ^= s >> 17, s ^= s << 5;
            b = static_cast<std::uint8_t>(s);
        }
    }
    Bytes status;
    in.takeinto(status, 4);
    status.resize(4);
    if (!(flags & 1)) payload.insert(payload.end(), status.begin(), status.end());
    return makeframe(1, count, number, payload);
}

class Session {
  public:
    explicit Session(std::uint8_t settings) {
        backend_.desk.exefolder_ = folder().string() + "/";
        std::ofstream(folder() / "config.ini")
            << "[AUTO_SAVE]\r\nSwitch=" << ((settings & korvin::fuzz::kSetAutoSave) ? 1 : 0)
            << "\r\n[SAVE_COMM]\r\nSwitch=" << ((settings & korvin::fuzz::kSetTrafficLog) ? 1 : 0)
            << "\r\n";
        static const char* const modes[] = {"", "debug", "super", "other"};
        std::vector<std::string> args;
        if (const int mode = (settings >> korvin::fuzz::kModeShift) & 3; mode) args = {modes[mode]};
        main_ = std::make_unique<Tmainform>();
        sock_ = backend_.sockets.back();
        main_->windowfactory = createmeasurewindow;
        main_->FormCreate(args);
        main_->link().simseed = 1;  // debug captures alike in every run of an input
        connect();
    }
    ~Session() {
        platform::CloseAction a = platform::CloseAction::None;
        main_->FormClose(a);
        main_.reset();
    }

    void run(Reader& in) {
        for (int k = 0; k < kMaxCommands && in.more(); ++k) {
            command(in);
            check();
        }
    }

  private:
    void connect() {
        main_->btn_connect.click();
        sock_->acceptconnect();
    }
    void command(Reader& in) {
        switch (static_cast<Op>(in.u8() % Op::OpCount)) {
            case Op::Raw: {
                Bytes raw;
                in.takeinto(raw, std::min(in.u16(), kMaxRaw));
                append(raw);
                break;
            }
            case Op::Packet:
                append(makepacket(in));
                break;
            case Op::Status: {
                Bytes s;
                in.takeinto(s, 4);
                s.resize(4);
                append(makeframe(2, 0, 0, s));
                break;
            }
            case Op::Framed: {
                const auto fn = static_cast<std::uint16_t>(in.u16());
                const std::uint8_t count = in.u8(), number = in.u8();
                Bytes payload;
                in.takeinto(payload, in.u8());
                append(makeframe(fn, count, number, payload));
                break;
            }
            case Op::Deliver:
                deliver(in.u16());
                break;
            case Op::Advance:
                advance(in.u8() * 20);
                break;
            case Op::Open:
                main_->measurebuttons()[in.u8() % 5]->click();
                break;
            case Op::Close:
                if (main_->openwindow()) main_->openwindow()->form().close();
                break;
            case Op::PeerClose:
                sock_->peerclose();
                break;
            case Op::Connect:
                connect();
                break;
            case Op::Error: {
                const int code = in.u8();
                if (sock_->active()) sock_->raiseerror(code);
                break;
            }
            case Op::Disconnect:
                main_->btn_disconnect.click();
                break;
            case Op::OpCount:
                break;
        }
    }
    void append(const Bytes& b) { outbox_.insert(outbox_.end(), b.begin(), b.end()); }
    // Bytes reach the window only over an open connection; a closed one loses them.
    void deliver(std::size_t n) {
        if (!sock_->active()) {
            outbox_.clear();
            return;
        }
        if (outbox_.empty()) return sock_->readevent();
        if (n == 0 || n > outbox_.size()) n = outbox_.size();
        const Bytes piece(outbox_.begin(), outbox_.begin() + static_cast<std::ptrdiff_t>(n));
        outbox_.erase(outbox_.begin(), outbox_.begin() + static_cast<std::ptrdiff_t>(n));
        sock_->deliver(piece);
    }
    void advance(std::int64_t ms) {
        ms = std::min(ms, kMaxVirtualMs - backend_.clock.now());
        if (ms > 0) backend_.clock.advance(ms);
    }
    // What must hold after any event.
    void check() {
        if (main_->link().state().rxheld >= static_cast<std::size_t>(kMaxRead))
            fail("held bytes overrun");
        if (main_->link().state().packetno > 32) fail("packet number beyond a capture");
        // While a window waits on a connected exciter, either a request is due or a reply is
        // awaited; with both timers stopped it would wait forever.
        const bool waiting = main_->openwindow() &&
                             main_->link().state().formkind != exciter::WindowKind::None &&
                             sock_->active();
        if (waiting && !main_->tmr_update.enabled() && !main_->tmr_out.enabled())
            fail("acquisition stalled");
        // Only a frame sent moves the reply time-out: whatever arrives leaves it where it was.
        const bool sent = checked_ < sock_->sent.size();
        const std::int64_t due = main_->tmr_out.enabled() ? backend_.clock.due(main_->tmr_out) : -1;
        if (!sent && due != -1 && outdue_ != -1 && due != outdue_)
            fail("reply time-out moved without a frame sent");
        outdue_ = due;
        for (; checked_ < sock_->sent.size(); ++checked_) checksent(sock_->sent[checked_]);
    }
    // The client sends only well-formed requests (1, 2) and acknowledgements (0x8001, 0x8002).
    // An acknowledgement copies byte 0 of the packet it answers, which may be other than 0x80
    // when the packet failed validation but was still used; everything else must be right.
    static void checksent(const Bytes& f) {
        if (f.size() != kTxFrameSize) fail(("frame of wrong size sent:" + hexbytes(f)).c_str());
        Bytes g = f;
        if ((frameword(f.data(), 4) & 0x8000) != 0 && calcsum(f.data(), 8) == f[8]) {
            g[0] = 0x80;
            g[8] = calcsum(g.data(), 8);
        }
        if (checkframe(g.data(), g.size()) != FrameOk)
            fail(("malformed frame sent:" + hexbytes(f)).c_str());
        const int fn = frameword(f.data(), 4);
        if (fn != 1 && fn != 2 && fn != 0x8001 && fn != 0x8002) fail("unknown function sent");
    }

    platform::HeadlessBackend backend_;  // first: it outlives everything below
    std::unique_ptr<Tmainform> main_;
    platform::ScriptedSocket* sock_ = nullptr;
    std::deque<std::uint8_t> outbox_;
    std::size_t checked_ = 0;   // sent frames already checked
    std::int64_t outdue_ = -1;  // when the reply time-out was due at the last check
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    folder() = std::filesystem::temp_directory_path() /
               ("korvin-fuzz-readpath-" + std::to_string(::getpid()));
    realcapture();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::filesystem::remove_all(folder());
    std::filesystem::create_directories(folder());
    Reader in(data + 1, size - 1);
    {
        Session session(data[0]);
        session.run(in);
    }
    std::filesystem::remove_all(folder());
    return 0;
}
