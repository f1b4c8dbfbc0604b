// The measurement engine's entry point, exported by libmonitor.so and bound when korvin loads.
#pragma once

#include <cstdint>

#if defined(__GNUC__)
#define KORVIN_ENGINE_API __attribute__((visibility("default")))
#else
#define KORVIN_ENGINE_API
#endif

extern "C" {
// samples: the sample block, 16,384 sign-extended values (I and Q of the first capture half,
// then of the second); results: the 2,097,152-byte result block the engine fills; gain: the
// engine gain (2000). Returns 0 on success, non-zero for null buffers, a capture with no energy
// or a result that is not finite. On 0 the block's lock area says whether the capture held an
// 8-VSB signal the engine locked (resultlayout.h).
KORVIN_ENGINE_API std::int32_t monitormain(const std::int32_t* samples, std::uint8_t* results,
                                           double gain, std::int32_t reserved1,
                                           std::int32_t reserved2);

// Makes the engine's transform plans and tapers now (most of a second) instead of on the first
// capture. Optional; safe to call from any thread, once or more, before or during monitormain.
// The client looks it up by name at run time (engine::prepare) and runs without it, so an engine
// need not export it; call it through that lookup, never directly.
KORVIN_ENGINE_API void monitorprepare();
}
