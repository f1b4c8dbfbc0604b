// The measurement windows on the Qt backend (QT_QPA_PLATFORM=offscreen): showdata of a real
// 8-VSB result plus the repaint it causes, the SNR window's showstatus with a full ring, and a
// 750 x 500 chart exported as JPEG.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "dllexport.h"
#include "engine/buffers.h"
#include "engine/resultlayout.h"
#include "platform/chartexport.h"
#include "platform/qt/qtbackend.h"
#include "shell/mainfram.h"
#include "vsbsignal.h"
#include "windows/fomrstel.h"
#include "windows/formsnr.h"
#include "windows/windowfactory.h"

namespace {

// One capture of the stand-in exciter's signal through the engine, as the windows get it.
std::vector<std::uint8_t> resultblock(resultlayout::kBlockSize);

void makeresult() {
    vsb::Impairments imp;
    imp.snr_db = 30;
    imp.ripple_db = 0.5;
    imp.gd_ripple_ns = 50;
    vsb::Generator generator(7, imp);
    std::vector<std::uint8_t> words(4 * vsb::kCaptureSamples);
    generator.capture(words.data(), vsb::kCaptureSamples);
    std::vector<std::int32_t> samples(resultlayout::kSampleCount);
    splitsamples(words.data(), samples.data());
    monitormain(samples.data(), resultblock.data(), 2000.0, 0, 0);
}

struct Session {
    Session() {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        backend = std::make_unique<platform::qt::QtBackend>(argc, argv);
        main = std::make_unique<Tmainform>();
        makeresult();
    }
    // The model change reaches the chart scene, whose update then paints the window: both
    // go through the event queue, as in the running program.
    void paint(platform::Form&) {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    int argc = 1;
    char name[8] = "bench";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<platform::qt::QtBackend> backend;
    std::unique_ptr<Tmainform> main;
};

std::unique_ptr<Session>& sessionholder() {
    static std::unique_ptr<Session> s;
    return s;
}

Session& session() {
    auto& s = sessionholder();
    if (!s) s = std::make_unique<Session>();
    return *s;
}

void BM_showdata(benchmark::State& state) {
    Session& s = session();
    auto w = createmeasurewindow(static_cast<exciter::WindowKind>(state.range(0)), *s.main);
    w->form().show();
    s.paint(w->form());
    for (auto _ : state) {
        w->showdata(resultblock.data());
        s.paint(w->form());
    }
    w->form().close();
    QCoreApplication::processEvents();
}
BENCHMARK(BM_showdata)
    ->ArgName("kind")
    ->DenseRange(1, 4)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

void BM_snrshowstatus_fullring(benchmark::State& state) {
    Session& s = session();
    auto w = createmeasurewindow(exciter::WindowKind::ImdSnr, *s.main);
    w->form().show();
    std::uint8_t status[4] = {0, 70, 104, 103};
    for (int i = 0; i < 600; ++i) w->showstatus(status);
    s.paint(w->form());
    for (auto _ : state) {
        ++status[1];
        w->showstatus(status);
        s.paint(w->form());
    }
    w->form().close();
    QCoreApplication::processEvents();
}
BENCHMARK(BM_snrshowstatus_fullring)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

void BM_jpegexport(benchmark::State& state) {
    Session& s = session();
    auto w = createmeasurewindow(exciter::WindowKind::Constellation, *s.main);
    auto& ste = static_cast<TForm_ste&>(*w);
    w->form().show();
    w->showdata(resultblock.data());
    s.paint(w->form());
    const std::string file = "/tmp/korvin-bench-" + std::to_string(::getpid()) + ".jpg";
    std::string error;
    for (auto _ : state) {
        if (!platform::exportchartjpeg(ste.cht_stel, file, error))
            state.SkipWithError(error.c_str());
    }
    ::unlink(file.c_str());
    w->form().close();
    QCoreApplication::processEvents();
}
BENCHMARK(BM_jpegexport)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

}  // namespace

// The windows and the toolkit are taken down before main returns, while Qt's own statics live.
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    sessionholder().reset();
    return 0;
}
