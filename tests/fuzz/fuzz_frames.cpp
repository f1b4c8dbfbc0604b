// Fuzz target: the frame and packet rules alone, fast. The exciter link on the headless backend
// (an owner that only counts what it is told to show, an engine that only records its calls)
// takes whatever the exciter sends, and a model of the rules predicts every outcome of every
// read: what is held, which frames are acknowledged and with which bytes, the packet number, the
// capture area, the status block, the engine calls and the reply time-out, which runs from the
// last frame sent whatever arrives.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <sanitizer/asan_interface.h>

#include "engine/buffers.h"
#include "engine/dllexport.h"
#include "fuzz/framebuild.h"
#include "fuzz/framescript.h"
#include "link/exciterlink.h"
#include "link/frames.h"
#include "platform/testkit/headless.h"

namespace {

using namespace korvin::fuzz::frames;
using exciter::WindowKind;
using korvin::fuzz::Bytes;
using korvin::fuzz::bytesum;
using korvin::fuzz::makeframe;
using korvin::fuzz::Reader;
using korvin::fuzz::seal;
using korvin::fuzz::startframe;

constexpr int kMaxCommands = 400;
constexpr std::int64_t kMaxVirtualMs = 12'000;  // room for four time-outs in a row
constexpr std::size_t kMaxRaw = 2100;
constexpr std::int64_t kReplyTimeout = 2000;
constexpr std::int32_t kGain = 2000;

void need(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "frame rules broken: %s\n", what);
    std::abort();
}

// The engine double: counts its calls and returns what the input chose.
struct EngineDouble {
    int calls = 0;
    std::int32_t result = 0;
    const MeasureBuffers* buffers = nullptr;  // the link's, which it must be given
} engine;

std::int32_t le16(const std::uint8_t* p) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

// The acknowledgement as the exciter expects it, built from the rules, not from buildack.
using TxFrame = std::array<std::uint8_t, kTxFrameSize>;
TxFrame expectedack(const std::uint8_t* f) {
    TxFrame a{f[0], 0x46, 10, 0, f[4], static_cast<std::uint8_t>((f[5] & 0x0F) | 0x80), f[6], f[7]};
    unsigned sum = 0;
    for (std::size_t i = 0; i < 8; ++i) sum += a[i];
    a[8] = static_cast<std::uint8_t>(sum);
    a[9] = 0x96;
    return a;
}

bool same(const Bytes& sent, const TxFrame& want) {
    return std::equal(sent.begin(), sent.end(), want.begin(), want.end());
}

// Frame validation from its rules, for a buffer of `size` bytes.
int expectedcheck(const std::uint8_t* f, std::size_t size) {
    if (size < 4) return LengthError;
    if (f[0] != 0x80) return IdError;
    if (f[1] != 0x46) return HeaderError;
    const std::size_t len = f[2] | (f[3] << 8);
    if (len < 10 || len > size) return LengthError;
    unsigned sum = 0;
    for (std::size_t i = 0; i + 2 < len; ++i) sum += f[i];
    if (f[len - 2] != static_cast<std::uint8_t>(sum)) return SumError;
    return f[len - 1] == 0x96 ? FrameOk : TailError;
}

// Bytes taken from the front and added at the back; its storage serves input after input.
class ByteQueue {
  public:
    std::size_t size() const { return bytes_.size() - head_; }
    bool empty() const { return size() == 0; }
    const std::uint8_t* data() const { return bytes_.data() + head_; }
    void append(const std::uint8_t* p, std::size_t n) { bytes_.insert(bytes_.end(), p, p + n); }
    void drop(std::size_t n) {
        head_ += n;
        if (head_ == bytes_.size()) clear();
    }
    void clear() {
        bytes_.clear();
        head_ = 0;
    }

  private:
    Bytes bytes_;
    std::size_t head_ = 0;
};

// A heap block that holds bytes in exactly their size: what follows them is poisoned, so the
// sanitizer catches a read past their end as it would past a block of their own, and the block
// serves input after input.
class ExactBlock {
  public:
    ExactBlock() = default;
    ExactBlock(const ExactBlock&) = delete;
    ExactBlock& operator=(const ExactBlock&) = delete;
    ~ExactBlock() { __asan_unpoison_memory_region(block_.get(), size_); }

    const std::uint8_t* hold(const Bytes& b) {
        __asan_unpoison_memory_region(block_.get(), size_);
        if (!block_ || b.size() > size_) {
            size_ = std::max({b.size(), 2 * size_, std::size_t{64}});
            block_ = std::make_unique<std::uint8_t[]>(size_);
        }
        std::copy(b.begin(), b.end(), block_.get());
        __asan_poison_memory_region(block_.get() + b.size(), size_ - b.size());
        return block_.get();
    }

  private:
    std::unique_ptr<std::uint8_t[]> block_;
    std::size_t size_ = 0;
};

// 256 sets of noise-like packet data and their sums, made once.
struct PacketData {
    std::array<std::uint8_t, 1024> bytes;
    unsigned sum;
};
const PacketData& packetdata(std::uint8_t seed) {
    static const std::vector<PacketData> all = [] {
        std::vector<PacketData> d(256);
        std::uint32_t s = 2463534242u;
        for (auto& set : d) {
            for (auto& b : set.bytes) {
                s ^= s << 13, s ^= s >> 17, s ^= s << 5;
                b = static_cast<std::uint8_t>(s);
            }
            set.sum = bytesum(set.bytes.data(), set.bytes.size());
        }
        return d;
    }();
    return all[seed];
}

void makepacket(Bytes& f, Reader& in) {
    const std::uint8_t count = in.u8(), number = in.u8(), flags = in.u8();
    const PacketData& data = packetdata(in.u8());
    const auto status = in.four();
    std::uint8_t* payload = startframe(f, 1, count, number, flags & kShort ? 1024 : 1028);
    std::copy(data.bytes.begin(), data.bytes.end(), payload);
    if (!(flags & kShort)) std::copy(status.begin(), status.end(), payload + 1024);
    if (flags & kOddId) f[0] = in.u8();
    if (flags & kHighBits) f[5] = static_cast<std::uint8_t>(f[5] | (in.u8() & 0xF0));
    if (flags & kOddLength) {
        const auto len = static_cast<std::uint16_t>(f.size() + static_cast<std::int8_t>(in.u8()));
        f[2] = static_cast<std::uint8_t>(len & 0xFF);
        f[3] = static_cast<std::uint8_t>(len >> 8);
    }
    seal(f, 8, 8 + 1024, data.sum);
    if (flags & kBadSum) ++f[f.size() - 2];
    if (flags & kBadTail) f[f.size() - 1] = 0x95;
}

// The owner double: it counts what it is told to show, closes the one measurement window the
// way the main window does when the link gives up, and keeps where the last read put its bytes.
class OwnerDouble : public exciter::LinkOwner {
  public:
    explicit OwnerDouble(exciter::Link& link) : link_(link) {}

    void showdata(const std::uint8_t* b) override {
        need(b == link_.buffers().resultblock, "result shown from elsewhere");
        ++datas;
    }
    void showstatus(const std::uint8_t* s) override {
        need(s == link_.buffers().statusblock, "status shown from elsewhere");
        ++statuses;
    }
    void shownosignal() override { ++nosignals; }
    void frameerror(int code) override { framecode = code; }
    void closewindow() override {
        window = false;
        link_.windowclosed();
    }
    void linkchanged(exciter::LinkEvent, const std::string&) override {}
    void errorbox(const std::string&) override {}
    // With traffic logging on, the read path logs the bytes each read took, from its receive
    // buffer: the one window the harness has on that buffer.
    void log(exciter::LogKind kind, const std::string&, const std::uint8_t* data,
             std::size_t count) override {
        if (kind != exciter::LogKind::Received) return;
        received = data;
        receivedcount = count;
    }
    void autosave(const std::uint8_t*) override {}
    std::int32_t gain() override { return kGain; }

    bool window = false;  // a measurement window is open
    int datas = 0, statuses = 0, nosignals = 0;
    int framecode = FrameOk;  // the format error the link last reported
    const std::uint8_t* received = nullptr;
    std::size_t receivedcount = 0;

  private:
    exciter::Link& link_;
};

// What the link should hold, kept by the rules.
struct Model {
    ByteQueue queue;  // arrived on the socket, not yet read
    std::array<std::uint8_t, kRxFrameSize> image{};
    std::size_t held = 0;
    std::uint32_t packetno = 0;
    std::array<std::uint8_t, kCaptureBytes> capture{};

    // Every member back to its first value; the queue keeps its storage.
    void reset() {
        queue.clear();
        image.fill(0);
        held = 0;
        packetno = 0;
        capture.fill(0);
    }

    // Takes one read's bytes into the image the way the read path does; returns the count.
    std::size_t read() {
        std::size_t at = 0, want = 0;
        if (held == 0) {
            image.fill(0);
            want = std::min<std::size_t>(queue.size(), kMaxRead);
        } else {
            at = held;
            const std::size_t target = held < 4 ? 4 : framelength(image.data());
            want = std::min(target - held, queue.size());
            held = 0;
        }
        std::copy_n(queue.data(), want, image.begin() + static_cast<std::ptrdiff_t>(at));
        queue.drop(want);
        return at + want;
    }
    // The start of a frame whose rest may still come: right ID and header, a length that fits.
    bool partial(std::size_t n) const {
        if (n == 0 || image[0] != 0x80 || (n >= 2 && image[1] != 0x46)) return false;
        if (n < 4) return true;
        const std::size_t len = framelength(image.data());
        return len >= 10 && len <= static_cast<std::size_t>(kMaxRead) && n < len;
    }
};

// The link's state before a read, to compare with after it.
struct Before {
    std::size_t sent;
    std::uint32_t statusmark, seccount;
    std::array<std::uint8_t, 4> status;
    bool update, out;
    std::int64_t due;
    int calls, datas, statuses, nosignals;
    std::size_t held;
};

// One link for every input (its buffers alone are 2 MB), brought back to the same state before
// each.
class Session {
  public:
    Session() {
        sock_ = backend_.sockets.back();
        link_.settings.logtraffic = true;
        engine.buffers = &link_.buffers();
        backend_.clock.onidle = [this, deferred = backend_.clock.onidle] {
            deferred();
            observe();
        };
        connect();
        // A read with nothing held logs from the start of the receive buffer.
        sock_->readevent();
        rxframe_ = owner_.received;
        reset();
    }

    // The reset follows the input rather than precede the next: the program code it runs (a
    // window closed, a connection made) depends on where this input left off, so its coverage
    // is this input's, whatever ran before.
    void run(Reader& in) {
        for (int k = 0; k < kMaxCommands && in.more(); ++k) {
            command(in);
            observe();
            check();
        }
        reset();
    }

  private:
    // Connected, no window, nothing held or queued, the pace and its timers from zero.
    void reset() {
        if (owner_.window) closewindow();
        connect();
        std::uint8_t drain[kRxFrameSize];
        while (sock_->receivebuf(drain, sizeof drain) > 0) {
        }
        resetlink();
        MeasureBuffers& buf = link_.buffers();
        std::memset(buf.capturearea, 0, sizeof buf.capturearea);
        std::memset(buf.statusblock, 0, sizeof buf.statusblock);
        sock_->sent.clear();
        checked_ = seen_ = 0;
        outbox_.clear();
        model_.reset();
        engine.calls = 0;
        engine.result = 0;
        start_ = backend_.clock.now();
        lastsend_ = start_ - kReplyTimeout;
        outdue_ = -1;
    }

    // The link's cycle from its start; the buffers are cleared by the caller where it matters
    // (the 2 MB result block never is: clearing it would cost most of an input's time).
    void resetlink() {
        link_.windowclosed();
        link_.restart();
        link_.tmr_tick.restart();
        link_.tmr_update.restart();
        const exciter::CycleState& s = link_.state();
        need(s.tickcount == 0 && s.seccount == 0 && s.capturemark == 0 && s.statusmark == 0 &&
                 s.retrycount == 0 && s.packetno == 0 && s.rxheld == 0 &&
                 s.formkind == WindowKind::None && !link_.tmr_out.enabled(),
             "link not back to its first state");
    }

    // After every timer event and command: when frames went out, and whether the reply time-out
    // just fired (it clears the packet number and what was held; the fourth closes the window).
    void observe() {
        const std::int64_t now = backend_.clock.now();
        if (sock_->sent.size() > seen_) {
            seen_ = sock_->sent.size();
            lastsend_ = now;
        }
        if (outdue_ == now && !link_.tmr_out.enabled()) {
            model_.held = 0;
            model_.packetno = 0;
            if (retries_ >= 3) {
                need(link_.state().formkind == WindowKind::None && !owner_.window,
                     "window open after giving up");
            }
        }
        outdue_ = link_.tmr_out.enabled() ? backend_.clock.due(link_.tmr_out) : -1;
        retries_ = link_.state().retrycount;
    }

  private:
    void command(Reader& in) {
        switch (static_cast<Op>(in.u8() % Op::OpCount)) {
            case Op::Packet:
                makepacket(frame_, in);
                append(frame_);
                break;
            case Op::Status: {
                const std::uint8_t lo = in.u8(), hi = in.u8();
                const auto s = in.four();
                makeframe(frame_, 2, lo, hi, s.data(), s.size());
                append(frame_);
                break;
            }
            case Op::Framed: {
                const auto fn = static_cast<std::uint16_t>(in.u16());
                const std::uint8_t count = in.u8(), number = in.u8();
                std::size_t len = in.u8();
                const std::uint8_t* payload = in.take(len);
                makeframe(frame_, fn, count, number, payload, len);
                append(frame_);
                break;
            }
            case Op::Raw: {
                std::size_t len = std::min(in.u16(), kMaxRaw);
                const std::uint8_t* raw = in.take(len);
                outbox_.append(raw, len);
                break;
            }
            case Op::Deliver:
                deliver(in.u16());
                break;
            case Op::Advance:
                advance(in.u8());
                break;
            case Op::Open:
                // As when the program opens a window over one a reconnect left open, the link
                // is told of the new kind only.
                owner_.window = true;
                link_.windowopened(static_cast<WindowKind>(1 + in.u8() % 5));
                break;
            case Op::Close:
                if (owner_.window) closewindow();
                break;
            case Op::Engine:
                engine.result = in.u8() & 1;
                break;
            case Op::PeerClose:
                sock_->peerclose();
                model_.queue.clear();
                break;
            case Op::Connect:
                connect();
                break;
            case Op::OpCount:
                break;
        }
    }

    void connect() {
        if (sock_->active()) return;
        link_.connect("127.0.0.1", 5000);
        sock_->acceptconnect();
        if (sock_->active()) model_.held = 0;
    }
    void closewindow() {
        owner_.window = false;
        link_.windowclosed();
        model_.packetno = 0;
        model_.held = 0;
    }
    void append(const Bytes& b) { outbox_.append(b.data(), b.size()); }

    void advance(int units) {
        const std::int64_t ms =
            std::min<std::int64_t>(units * 10, start_ + kMaxVirtualMs - backend_.clock.now());
        if (ms > 0) backend_.clock.advance(ms);
    }

    Before snapshot() const {
        Before b{};
        const exciter::CycleState& s = link_.state();
        b.sent = sock_->sent.size();
        b.statusmark = s.statusmark;
        b.seccount = s.seccount;
        std::memcpy(b.status.data(), statusblock(), 4);
        b.update = link_.tmr_update.enabled();
        b.out = link_.tmr_out.enabled();
        b.due = b.out ? backend_.clock.due(link_.tmr_out) : -1;
        b.calls = engine.calls;
        b.datas = owner_.datas;
        b.statuses = owner_.statuses;
        b.nosignals = owner_.nosignals;
        b.held = model_.held;
        return b;
    }

    // Bytes reach the link only over an open connection; a closed one loses them.
    void deliver(std::size_t n) {
        if (!sock_->active()) {
            outbox_.clear();
            return;
        }
        if (n == 0 || n > outbox_.size()) n = outbox_.size();
        piece_.assign(outbox_.data(), outbox_.data() + n);
        outbox_.drop(n);
        checkexact(piece_);
        model_.queue.append(piece_.data(), n);
        const Before b = snapshot();
        owner_.framecode = FrameOk;
        sock_->deliver(piece_);
        predict(b);
    }

    // Validation of the bytes as they came, in a block of exactly their size: nothing outside
    // it is read (the sanitizer watches), and the code is the rules' code.
    void checkexact(const Bytes& piece) {
        const std::uint8_t* exact = exact_.hold(piece);
        const std::size_t n = piece.size();
        need(checkframe(exact, n) == expectedcheck(exact, n), "validation code");
    }

    void predict(const Before& b) {
        const bool expecting = b.out;
        const std::size_t n = model_.read();
        need(owner_.received == rxframe_ + b.held && owner_.receivedcount == n - b.held,
             "read logged from elsewhere");
        need(std::equal(model_.image.begin(), model_.image.end(), rxframe_),
             "receive buffer differs from the bytes read");
        // Only a frame taken as a reply is judged, and its format error reported.
        const bool held = expecting && model_.partial(n);
        const bool judged = expecting && !held;
        need(owner_.framecode ==
                 (judged ? expectedcheck(model_.image.data(), kRxFrameSize) : FrameOk),
             "format error reported for the bytes read");
        if (held) {
            model_.held = n;
            unchanged(b);
            return;
        }
        if (!expecting) return unchanged(b);
        need(link_.state().retrycount == 0, "a reply did not reset the retry count");
        const std::uint8_t* f = model_.image.data();
        const int fn = functioncode(f);
        const std::size_t len = framelength(f);
        if (fn == 1 && (len == 1034 || len == 1038) && f[6] <= 32 && f[7] <= f[6] &&
            f[7] == model_.packetno + 1)
            return acceptedpacket(b, f, len);
        if (fn == 2 && len == 14 && f[6] == 0 && f[7] == 0) return acceptedstatus(b, f);
        unchanged(b);
    }

    void acceptedpacket(const Before& b, const std::uint8_t* f, std::size_t len) {
        const std::uint32_t count = f[6], number = f[7];
        const int shown = owner_.window ? 1 : 0;
        need(sock_->sent.size() == b.sent + 1, "accepted packet not acknowledged once");
        need(same(sock_->sent.back(), expectedack(f)), "acknowledgement bytes");
        need(backend_.clock.due(link_.tmr_out) == backend_.clock.now() + kReplyTimeout,
             "acknowledgement did not restart the reply time-out");
        model_.packetno = number == count ? 0 : number;
        std::memcpy(model_.capture.data() + (number - 1) * 1024, f + 8, 1024);
        need(std::memcmp(link_.buffers().capturearea + (number - 1) * 1024, f + 8, 1024) == 0,
             "packet data not in its place");
        if (len == 1038 && b.statusmark != b.seccount) {
            need(std::memcmp(statusblock(), f + 1032, 4) == 0, "status block not taken");
            need(link_.state().statusmark == b.seccount, "status mark");
            need(owner_.statuses == b.statuses + shown, "status not shown");
        } else {
            need(std::memcmp(statusblock(), b.status.data(), 4) == 0, "status block taken twice");
        }
        if (number != count) {
            need(engine.calls == b.calls, "engine ran before the last packet");
            return;
        }
        need(engine.calls == b.calls + 1, "engine not run once after the last packet");
        needsamples();
        const bool ok = engine.result == 0;
        need(owner_.datas == b.datas + (ok ? shown : 0) &&
                 owner_.nosignals == b.nosignals + (ok ? 0 : shown) &&
                 (ok ? link_.tmr_update.enabled() : link_.tmr_update.enabled() == b.update),
             "result handling after the engine");
    }

    // The engine was given the whole capture area as the model assembled it.
    void needsamples() {
        const std::int32_t* samples = link_.buffers().sampleblock;
        for (std::size_t half = 0; half < 2; ++half) {
            const std::uint8_t* raw = model_.capture.data() + half * kHalfBytes;
            const std::int32_t* i = samples + half * 2 * kHalfWords;
            for (std::size_t k = 0; k < kHalfWords; ++k) {
                need(i[k] == le16(raw + 4 * k) && i[kHalfWords + k] == le16(raw + 4 * k + 2),
                     "sample block is not the capture");
            }
        }
    }

    void acceptedstatus(const Before& b, const std::uint8_t* f) {
        need(sock_->sent.size() == b.sent, "status frame answered");
        need(std::memcmp(statusblock(), f + 8, 4) == 0, "status frame not taken");
        need(owner_.statuses == b.statuses + (owner_.window ? 1 : 0), "status not shown");
        need(link_.tmr_update.enabled() && !link_.tmr_out.enabled(),
             "a status reply did not end the wait");
    }

    // A dropped, held or rejected frame changes nothing, the reply time-out least of all.
    void unchanged(const Before& b) {
        need(sock_->sent.size() == b.sent, "rejected frame answered");
        need(std::memcmp(statusblock(), b.status.data(), 4) == 0, "rejected frame's status taken");
        need(engine.calls == b.calls, "rejected frame measured");
        need(owner_.statuses == b.statuses && owner_.datas == b.datas, "rejected frame shown");
        need(link_.tmr_update.enabled() == b.update, "rejected frame moved the pacing");
        need(link_.tmr_out.enabled() == b.out, "rejected frame started or stopped the time-out");
        need(!b.out || backend_.clock.due(link_.tmr_out) == b.due,
             "rejected frame postponed the reply time-out");
    }

    // What must hold after any event.
    void check() {
        const exciter::CycleState& s = link_.state();
        need(s.packetno == model_.packetno, "packet number");
        need(s.packetno < 32, "packet number past a capture");
        need(s.rxheld == model_.held, "held bytes");
        need(sock_->receivelength() == static_cast<int>(model_.queue.size()), "socket queue");
        need((s.formkind != WindowKind::None) == owner_.window, "window kind");
        const bool waiting = owner_.window && sock_->active();
        need(!waiting || link_.tmr_update.enabled() || link_.tmr_out.enabled(),
             "acquisition stalled");
        for (; checked_ < sock_->sent.size(); ++checked_) checksent(sock_->sent[checked_]);
        need(!link_.tmr_out.enabled() ||
                 backend_.clock.due(link_.tmr_out) == lastsend_ + kReplyTimeout,
             "reply time-out not counted from the last frame sent");
    }

    // Requests are exact; an acknowledgement is checked where it is sent.
    static void checksent(const Bytes& f) {
        need(f.size() == kTxFrameSize, "frame of wrong size sent");
        const int fn = frameword(f.data(), 4);
        if (fn == 1 || fn == 2) {
            const TxFrame want{0x80,
                               0x46,
                               10,
                               0,
                               static_cast<std::uint8_t>(fn),
                               0,
                               0,
                               0,
                               static_cast<std::uint8_t>(0xD0 + fn),
                               0x96};
            need(same(f, want), "request bytes");
        } else {
            need(fn == 0x8001, "unknown function sent");
        }
    }

    const std::uint8_t* statusblock() const { return link_.statusblock(); }

    platform::HeadlessBackend backend_;  // first: it outlives everything below
    exciter::Link link_{owner_};         // tells owner_, declared after it, only once events run
    OwnerDouble owner_{link_};
    platform::ScriptedSocket* sock_ = nullptr;
    const std::uint8_t* rxframe_ = nullptr;  // the link's receive buffer
    ByteQueue outbox_;
    Bytes frame_;  // the frame a command builds
    Bytes piece_;  // what one Deliver hands over
    ExactBlock exact_;
    Model model_;
    std::size_t checked_ = 0, seen_ = 0;  // sent frames checked, and timed
    std::int64_t start_ = 0, lastsend_ = 0, outdue_ = -1;
    std::int32_t retries_ = 0;
};

}  // namespace

// The engine of this target: it checks its arguments and measures nothing.
extern "C" std::int32_t monitormain(const std::int32_t* samples, std::uint8_t* results, double gain,
                                    std::int32_t, std::int32_t) {
    ++engine.calls;
    need(samples == engine.buffers->sampleblock && results == engine.buffers->resultblock &&
             gain == kGain,
         "engine arguments");
    return engine.result;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Never destroyed: at exit the backend's own statics may already be gone.
    static Session* session = new Session;
    Reader in(data, size);
    session->run(in);
    return 0;
}
