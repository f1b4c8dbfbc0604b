// libmonitor.so's entry point.
#include <cmath>
#include <memory>

#include "dllexport.h"
#include "receiver.h"
#include "resultlayout.h"

namespace {

// Last line of defence for the plotted regions: a value that is not finite becomes 0.
void sanitise(std::uint8_t* results, std::size_t offset, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (!std::isfinite(resultlayout::read(results, offset + 8 * i)))
            resultlayout::write(results, offset + 8 * i, 0.0);
    }
}

// Made on first use: plans, tapers and buffers; nothing is allocated afterwards. A second
// caller waits for the first to finish making it.
monitor::Receiver& receiver() {
    static const auto made = std::make_unique<monitor::Receiver>();
    return *made;
}

}  // namespace

extern "C" KORVIN_ENGINE_API void monitorprepare() {
    receiver();
}

// The gain (always 2000) and the two reserved arguments are accepted and not used: every
// figure is measured relative to the capture itself, so no external scaling enters.
extern "C" KORVIN_ENGINE_API std::int32_t monitormain(const std::int32_t* samples,
                                                      std::uint8_t* results, double /*gain*/,
                                                      std::int32_t /*reserved1*/,
                                                      std::int32_t /*reserved2*/) {
    namespace rl = resultlayout;
    if (!samples || !results) return monitor::kNullBuffer;
    const auto status = receiver().run(samples, results);
    if (status != monitor::kOk) return status;
    sanitise(results, rl::kConstellationOffset, 2 * rl::kConstellationPoints);
    sanitise(results, rl::kEyeOffset, rl::kEyeTraces * rl::kEyePointsPerTrace);
    sanitise(results, rl::kSpectrumOffset, rl::kSpectrumPoints);
    sanitise(results, rl::kFreqErrorOffset, rl::kResponsePoints);
    sanitise(results, rl::kGroupErrorOffset, rl::kResponsePoints);
    sanitise(results, rl::kFiguresOffset, rl::kFigureCount);
    sanitise(results, rl::kDiagnosticsOffset, rl::kDiagnosticCount);
    return status;
}
