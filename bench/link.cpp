// The receive path's own cost: validating and dispatching one 1038-byte sample packet
// (acknowledgement and copy included), and the idle client's processor use.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "link/frames.h"
#include "platform/headless.h"
#include "shell/mainfram.h"

namespace {

std::vector<std::uint8_t> samplepacket() {
    std::vector<std::uint8_t> f(1038, 0x11);
    f[0] = 0x80, f[1] = 0x46, f[2] = 1038 & 0xFF, f[3] = 1038 >> 8;
    f[4] = 1, f[5] = 0, f[6] = 32, f[7] = 1;
    f[1036] = calcsum(f.data(), 1036);
    f[1037] = 0x96;
    return f;
}

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

void BM_CheckframeAndDispatch(benchmark::State& state) {
    BenchBackend backend;
    Tmainform main;
    main.formkind = 1;
    std::memcpy(main.rxframe.data(), samplepacket().data(), 1038);
    for (auto _ : state) {
        main.packetno = 0;
        main.statusmark = main.seccount;
        const int code = checkframe(main.rxframe.data(), main.rxframe.size());
        benchmark::DoNotOptimize(code);
        benchmark::DoNotOptimize(main.dispatchframe(main.rxframe.data()));
    }
}
BENCHMARK(BM_CheckframeAndDispatch);

}  // namespace

BENCHMARK_MAIN();
