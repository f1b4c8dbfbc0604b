// The receive path's own cost: validating and dispatching one 1038-byte sample packet
// (acknowledgement and copy included), and the idle client's processor use.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "link/exciterlink.h"
#include "link/frames.h"
#include "platform/testkit/headless.h"

namespace {

std::vector<std::uint8_t> samplepacket(std::uint8_t number) {
    std::vector<std::uint8_t> f(1038, 0x11);
    f[0] = 0x80, f[1] = 0x46, f[2] = 1038 & 0xFF, f[3] = 1038 >> 8;
    f[4] = 1, f[5] = 0, f[6] = 32, f[7] = number;
    f[1036] = calcsum(f.data(), 1036);
    f[1037] = 0x96;
    return f;
}

// An owner that shows and logs nothing.
class NullOwner : public exciter::LinkOwner {
  public:
    void showdata(const std::uint8_t*) override {}
    void showstatus(const std::uint8_t*) override {}
    void shownosignal() override {}
    void closewindow() override {}
    void linkchanged(exciter::LinkEvent, const std::string&) override {}
    void errorbox(const std::string&) override {}
    void log(exciter::LogKind, const std::string&, const std::uint8_t*, std::size_t) override {}
    void autosave(const std::uint8_t*) override {}
    std::int32_t gain() override { return 2000; }
};

// A connected socket that drops what it is given, so only the client's own work is measured.
class NullSocket : public platform::ClientSocket {
  public:
    void setactive(bool) override {}
    bool active() const override { return true; }
    int receivelength() override { return 0; }
    int receivebuf(std::uint8_t*, int) override { return 0; }
    int sendbuf(const std::uint8_t*, int n) override { return n; }
};

class BenchBackend : public platform::HeadlessBackend {
  public:
    std::unique_ptr<platform::ClientSocket> createsocket() override {
        return std::make_unique<NullSocket>();
    }
};

// Packets 1 to 31 of a capture in turn (the 32nd would run the engine); the window is closed
// and opened again between captures, one time in 31. The clock stands still, so no status
// block is taken.
void BM_CheckframeAndDispatch(benchmark::State& state) {
    BenchBackend backend;
    NullOwner owner;
    exciter::Link link(owner);
    std::vector<std::vector<std::uint8_t>> packets;
    for (std::uint8_t n = 1; n <= 31; ++n) packets.push_back(samplepacket(n));
    link.windowopened(exciter::WindowKind::Constellation);
    std::size_t next = 0;
    for (auto _ : state) {
        const std::uint8_t* f = packets[next].data();
        benchmark::DoNotOptimize(checkframe(f, packets[next].size()));
        benchmark::DoNotOptimize(link.dispatchframe(f));
        if (++next == packets.size()) {
            next = 0;
            link.windowclosed();
            link.windowopened(exciter::WindowKind::Constellation);
        }
    }
}
BENCHMARK(BM_CheckframeAndDispatch);

}  // namespace

BENCHMARK_MAIN();
