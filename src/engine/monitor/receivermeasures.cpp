// The figures an analyser shows besides its plots, from the receiver's final state: MER before
// and after the equaliser, EVM, the symbol clock's error, the pilot and carrier, the echoes.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "receiver.h"
#include "resultlayout.h"
#include "vsbmodel.h"

namespace monitor {

namespace rl = resultlayout;

namespace {
constexpr std::size_t kClockBlocks = 16;
constexpr int kDelaySteps = 80;  // 50 kHz: under half the ripple period of a 4.5 us echo
constexpr double kDelayBandHz = 2.0e6;
}  // namespace

// The matched filter alone at the main path's timing, turned and scaled by one complex gain
// fitted to the decided symbols: what a receiver without an equaliser would decide on. Returns
// the mean square distance to the decided symbols (level units), which the equalised output's
// own distance is later taken from to leave what the equaliser removes.
double Receiver::unequalisederror() {
    // The short fit holds what is left of the main path's delay; such a receiver's own clock
    // recovery would take it out.
    const double delay = channel_.banddelay(kDelayBandHz, kDelaySteps);
    const double tau = tau_;
    tau_ += std::clamp(delay, -0.5, 0.5);
    equalise(false);
    tau_ = tau;
    Complex cross = 0;
    double energy = 0;
    for (std::size_t n = kEdgeSamples; n < kN - kEdgeSamples; ++n) {
        cross += Complex(inphase_[n], quadrature_[n]) * decided_[n];
        energy += decided_[n] * decided_[n];
    }
    if (!(energy > 0) || !(std::norm(cross) > 0)) return INFINITY;
    const Complex turn = energy / cross;  // undoes the fitted gain
    double error = 0;
    for (std::size_t n = kEdgeSamples; n < kN - kEdgeSamples; ++n) {
        const double y = mul(Complex(inphase_[n], quadrature_[n]), turn).real();
        error += (y - decided_[n]) * (y - decided_[n]);
    }
    return error / double(kN - 2 * kEdgeSamples);
}

// MER before the equaliser: the equalised output's noise (from the level fit, unbiased at low
// SNR) plus what the equaliser removed (the difference of the two outputs' distances to the
// decided symbols: wrong decisions shrink both alike).
double Receiver::merunequaliseddb() const {
    double equalised = 0;
    for (std::size_t n = kEdgeSamples; n < kN - kEdgeSamples; ++n) {
        const double y = (inphase_[n] - levels_.offset) / levels_.gain;
        const double d = decided_[n] - pilot_;
        equalised += (y - d) * (y - d);
    }
    equalised /= double(kN - 2 * kEdgeSamples);
    const double noise = levels_.noise / (levels_.gain * levels_.gain);
    const double error = noise + std::max(unequalisederror_ - equalised, 0.0);
    return std::clamp(10 * std::log10(kDataPower / std::max(error, 1e-12)), -20.0, 90.0);
}

// The symbol clock's error from the drift of the timing across the capture: in each block the
// capture is fitted as the model shifted by a fraction of a sample (the model's derivative
// times that fraction), and the fractions' slope over the blocks is the rate error.
double Receiver::symbolrateppm() {
    CBuffer& model = spare_;
    CBuffer& derivative = equalised_;  // the eye diagram has been drawn from it
    for (std::size_t k = 0; k < kN; ++k) scratch_[k] = mul(channelgrid_[k], referencespectrum_[k]);
    fft_.inverse(scratch_, model);
    for (std::size_t k = 0; k < kN; ++k)
        scratch_[k] *= Complex(0, 2 * std::numbers::pi * binhz(k) / kFs);
    fft_.inverse(scratch_, derivative);
    const std::size_t length = (kN - 2 * kEdgeSamples) / kClockBlocks;
    double sw = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (std::size_t b = 0; b < kClockBlocks; ++b) {
        double num = 0, den = 0;
        const std::size_t lo = kEdgeSamples + b * length;
        for (std::size_t n = lo; n < lo + length; ++n) {
            const Complex d = derivative[n] / double(kN);
            num += mulconj(pilotless_[n] - model[n] / double(kN), d).real();
            den += std::norm(d);
        }
        if (!(den > 0)) continue;
        const double shift = num / den, centre = double(lo) + double(length) / 2;
        sw += den, sx += den * centre, sy += den * shift;
        sxx += den * centre * centre, sxy += den * centre * shift;
    }
    const double det = sw * sxx - sx * sx;
    return det > 0 ? (sw * sxy - sx * sy) / det * 1e6 : 0.0;
}

void Receiver::writemeasures(std::uint8_t* results) {
    const double noise = levels_.noise / (levels_.gain * levels_.gain);
    auto put = [results](rl::Measure m, double v) { rl::writemeasure(results, m, v); };
    put(rl::PilotLevelRelDb, 20 * std::log10(pilot_ / kPilotLevel));
    put(rl::CarrierFrequencyHz, offsethz_);
    put(rl::SymbolRateErrorPpm, symbolrateppm());
    put(rl::MerEqualisedDb, merdb());
    put(rl::MerUnequalisedDb, merunequaliseddb());
    put(rl::EvmPercent, 100 * std::sqrt(std::max(noise, 0.0) / kDataPower));
    long_.echoprofile(scratch_, spare_, echoprofile_.data());
    for (std::size_t i = 0; i < rl::kEchoProfilePoints; ++i)
        rl::write(results, rl::kEchoProfileOffset + 8 * i, echoprofile_[i]);
    put(rl::LargestEchoDb, long_.largestechodb());
    put(rl::LargestEchoUs, long_.largestechous());
}

}  // namespace monitor
