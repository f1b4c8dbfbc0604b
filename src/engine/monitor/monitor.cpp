// libmonitor.so's entry point.
#include <memory>

#include "dllexport.h"
#include "finish.h"
#include "receiver.h"
#include "resultlayout.h"

namespace {

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
    if (!samples || !results) return monitor::NullBuffer;
    auto& engine = receiver();
    const auto status = engine.run(samples, results);
    if (status != monitor::Ok) return status;
    // A value that is not finite is a failed measurement, never a plotted 0.
    if (!monitor::scrub(results)) return monitor::NotFinite;
    resultlayout::writelock(results, engine.lock());
    resultlayout::writemeasuresmarker(results);
    return monitor::Ok;
}
