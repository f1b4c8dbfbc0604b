// A whole capture over loopback: from the capture request to the open window's showdata, with
// exciter-sim answering 32 packets of 1038 bytes and the engine measuring the result.
#include <benchmark/benchmark.h>

#include <QEventLoop>
#include <QTimer>

#include "platform/form.h"
#include "platform/qt/qtbackend.h"
#include "shell/mainfram.h"
#include "support/simprocess.h"

namespace {

class Receiver : public MeasureWindow {
  public:
    explicit Receiver(Tmainform& main) : form_("receiver") {
        form_.onclose = [&main](platform::CloseAction& a) {
            a = platform::CloseAction::Free;
            main.formclosed();
        };
    }
    void showdata(const std::uint8_t* b) override {
        if (b && loop) loop->quit();
    }
    void showstatus(const std::uint8_t*) override {}
    platform::Form& form() override { return form_; }
    QEventLoop* loop = nullptr;

  private:
    platform::Form form_;
};

void BM_CaptureRoundTrip(benchmark::State& state) {
    static int argc = 1;
    static char name[] = "bench_roundtrip";
    static char* argv[] = {name, nullptr};
    static platform::qt::QtBackend backend(argc, argv);
    korvin::test::SimProcess sim;
    if (!sim.started()) {
        state.SkipWithError("exciter-sim did not start");
        return;
    }
    Tmainform main;
    Receiver* receiver = nullptr;
    main.windowfactory = [&](exciter::WindowKind, Tmainform& m) {
        auto r = std::make_unique<Receiver>(m);
        receiver = r.get();
        return r;
    };
    main.FormCreate({});
    main.ipedt_dest.setaddress("127.0.0.1");
    main.edt_port.setvalue(sim.port());
    main.btn_connect.click();
    QEventLoop connecting;
    QTimer::singleShot(5000, &connecting, &QEventLoop::quit);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (main.socket().active()) connecting.quit();
    });
    poll.start(1);
    connecting.exec();
    poll.stop();
    // The window is modal: measure from inside its loop, then close it.
    QTimer::singleShot(0, [&] {
        QEventLoop loop;
        QTimer guard;  // a capture that never completes ends the wait
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
        receiver->loop = &loop;
        for (auto _ : state) {
            // Two seconds of ticks at once: the next capture request is due.
            for (int t = 0; t < 200; ++t) main.tmr_tickTimer();
            main.tmr_updateTimer();  // the capture request goes out
            guard.start(5000);
            loop.exec();
        }
        receiver->form().close();
    });
    main.btmbtnClick(1);
    main.close();
}
BENCHMARK(BM_CaptureRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
