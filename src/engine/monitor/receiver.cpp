#include "receiver.h"

#include <algorithm>
#include <cmath>

#include "carrier.h"
#include "lock.h"
#include "resultlayout.h"
#include "vsbmodel.h"

namespace monitor {

namespace rl = resultlayout;

namespace {
constexpr int kIterations = 2;  // decide, fit, refine the carrier; decide again, final fit
constexpr int kTimingSteps = 4;
}  // namespace

Receiver::Receiver()
    : channel_(fft_),
      spectrum_(fft_),
      received_(kN),
      received_spectrum_(kN),
      reference_(kN),
      reference_spectrum_(kN),
      channel_grid_(kN),
      scratch_(kN),
      equalised_(kN),
      ramp_(kN),
      inphase_(kN),
      quadrature_(kN) {}

// The sample block holds I then Q of the first 4096 samples, then I then Q of the rest.
bool Receiver::load(const std::int32_t* s) {
    constexpr std::size_t half = kN / 2;
    double power = 0;
    for (std::size_t n = 0; n < kN; ++n) {
        const std::size_t base = n < half ? n : n + half;
        received_[n] = cplx(double(s[base]), double(s[base + half]));
        power += std::norm(received_[n]);
    }
    power_ = power / double(kN);
    if (!(power_ > 0)) return false;
    const double scale = 1 / std::sqrt(power_);
    for (auto& x : received_) x *= scale;
    return true;
}

// The timing's phase ramp over the FFT grid, recomputed only when the timing has moved.
void Receiver::update_ramp() {
    if (ramp_tau_ == tau_) return;
    delay_ramp(tau_, ramp_);
    ramp_tau_ = tau_;
}

// Matched filter (advanced by tau), optionally the inverse of the channel estimate, then the
// (-j)^n rotation undone: inphase_ holds level + pilot, quadrature_ the VSB quadrature.
void Receiver::equalise(bool with_channel) {
    const auto& pulse = pulse_grid();
    double floor = 0;
    if (with_channel) {
        for (std::size_t k = 0; k < kN; ++k)
            floor += std::norm(channel_grid_[k]) * pulse.amplitude[k];
        floor = 1e-6 * floor / (double(kN) * pulse.rc0) + 1e-300;
    }
    update_ramp();
    const double norm = 1 / (pulse.rc0 * kN);
    for (std::size_t k = 0; k < kN; ++k) {
        const double a = pulse.amplitude[k];
        if (a == 0) {
            scratch_[k] = 0;
            continue;
        }
        cplx v = mul(received_spectrum_[k], ramp_[k]) * (a * norm);
        if (with_channel) {
            const cplx d = channel_grid_[k];
            v = mul_conj(v, d) / (std::norm(d) + floor);
        }
        scratch_[k] = v;
    }
    fft_.inverse(scratch_, equalised_);
    for (std::size_t n = 0; n < kN; ++n) {
        const cplx w = mul_conj(equalised_[n], rotation(n));
        inphase_[n] = w.real();
        quadrature_[n] = w.imag();
    }
}

// Mean square distance to the nearest level after matched filtering at timing tau, with the
// phase taken from the pilot and the gain from the signal's power.
double Receiver::timing_metric(double tau) {
    tau_ = tau;
    equalise(false);
    cplx pilot = 0;
    for (std::size_t n = kEdgeSamples; n < kN - kEdgeSamples; ++n)
        pilot += cplx(inphase_[n], quadrature_[n]);
    const cplx turn = std::abs(pilot) > 0 ? std::conj(pilot) / std::abs(pilot) : 1.0;
    double power = 0;
    for (std::size_t n = 0; n < kN; ++n) {
        const cplx w = cplx(inphase_[n], quadrature_[n]) * turn;
        inphase_[n] = w.real(), quadrature_[n] = w.imag();
        if (n >= kEdgeSamples && n < kN - kEdgeSamples) power += w.real() * w.real();
    }
    power /= double(kN - 2 * kEdgeSamples);
    const double gain =
        std::sqrt((kDataPower + kPilotLevel * kPilotLevel) / std::max(power, 1e-300));
    double error = 0;
    for (std::size_t n = 0; n < kN; ++n) {
        inphase_[n] *= gain, quadrature_[n] *= gain;
        const double y = inphase_[n] - kPilotLevel;
        if (n >= kEdgeSamples && n < kN - kEdgeSamples) error += std::pow(y - nearest_level(y), 2);
    }
    return error;
}

// Coarse search over a symbol in quarters, a parabola through the best three, and a last pass
// at the result so the first decisions come from the best timing.
void Receiver::search_timing() {
    double metric[kTimingSteps];
    int best = 0;
    for (int i = 0; i < kTimingSteps; ++i) {
        metric[i] = timing_metric(double(i) / kTimingSteps);
        if (metric[i] < metric[best]) best = i;
    }
    const double l = metric[(best + kTimingSteps - 1) % kTimingSteps], c = metric[best];
    const double r = metric[(best + 1) % kTimingSteps];
    const double den = l - 2 * c + r;
    const double delta = den > 0 ? std::clamp(0.5 * (l - r) / den, -0.5, 0.5) : 0.0;
    const double worst = *std::max_element(metric, metric + kTimingSteps);
    evidence_.timing_contrast = worst > 0 ? (worst - c) / worst : 0.0;
    timing_metric((best + delta) / kTimingSteps);
}

// The ideal received signal for the decided levels: symbols through the VSB pulse, delayed by
// the current timing.
void Receiver::rebuild_reference() {
    for (std::size_t n = 0; n < kN; ++n)
        scratch_[n] = (nearest_level(inphase_[n] - kPilotLevel) + kPilotLevel) * rotation(n);
    fft_.forward(scratch_, reference_spectrum_);
    const auto& pulse = pulse_grid();
    update_ramp();
    for (std::size_t k = 0; k < kN; ++k)
        reference_spectrum_[k] = mul_conj(reference_spectrum_[k], ramp_[k]) * pulse.amplitude[k];
    fft_.inverse(reference_spectrum_, reference_);
    for (auto& v : reference_) v /= double(kN);
}

// Removes the frequency left between the capture and the fitted model.
void Receiver::refine_carrier() {
    for (std::size_t k = 0; k < kN; ++k)
        scratch_[k] = mul(channel_grid_[k], reference_spectrum_[k]);
    fft_.inverse(scratch_, equalised_);  // equalised_ reused as the model
    for (auto& v : equalised_) v /= double(kN);
    const double hz = std::clamp(residual_frequency(received_, equalised_), -2e3, 2e3);
    shift(received_, hz);
    offset_hz_ += hz;
    fft_.forward(received_, received_spectrum_);
}

Status Receiver::run(const std::int32_t* samples, std::uint8_t* results) {
    if (!load(samples)) return kNoEnergy;
    fft_.forward(received_, received_spectrum_);
    const double pilot_hz = find_pilot(received_spectrum_);
    evidence_.pilot_db = pilot_prominence_db(received_spectrum_, pilot_hz);
    offset_hz_ = pilot_hz - kPilotHz;
    shift(received_, offset_hz_);
    fft_.forward(received_, received_spectrum_);
    search_timing();
    for (int it = 0; it < kIterations; ++it) {
        rebuild_reference();
        channel_.fit(reference_, reference_spectrum_, received_);
        channel_.response_on_grid(channel_grid_, scratch_);
        const bool last = it + 1 == kIterations;
        if (!last) refine_carrier();
        equalise(true);
        if (!last) tau_ += std::clamp(channel_.centroid(), -0.5, 0.5);
    }
    for (std::size_t n = 0; n < kN; ++n) inphase_[n] -= kPilotLevel;
    levels_ = level_fitter_.fit(inphase_.data() + kEdgeSamples, kN - 2 * kEdgeSamples);
    evidence_.kurtosis = kurtosis(inphase_.data() + kEdgeSamples, kN - 2 * kEdgeSamples);

    write_constellation(inphase_.data(), quadrature_.data(), levels_, results);
    eye_.write(equalised_, levels_, results);
    spectrum_.measure(received_, reinterpret_cast<double*>(scratch_.data()));
    const auto* levels = reinterpret_cast<const double*>(scratch_.data());
    for (std::size_t i = 0; i < rl::kSpectrumPoints; ++i)
        rl::write(results, rl::kSpectrumOffset + 8 * i, levels[i]);
    evidence_.channel_fraction = spectrum_.channel_fraction();
    write_response(channel_, results);
    write_diagnostics(results);
    lock_ = judge(evidence_);
    return kOk;
}

double Receiver::mer_db() const {
    const double noise = levels_.noise / (levels_.gain * levels_.gain);
    return std::clamp(10 * std::log10(kDataPower / std::max(noise, 1e-12)), -20.0, 90.0);
}

void Receiver::write_diagnostics(std::uint8_t* results) const {
    const cplx centre = channel_.response(0.0, nullptr);
    const double pilot = (kPilotLevel + levels_.offset) / (kPilotLevel * levels_.gain);
    auto put = [results](rl::Diagnostic d, double v) {
        rl::write(results, rl::kDiagnosticsOffset + 8 * d, v);
    };
    put(rl::MerDb, mer_db());
    put(rl::CarrierOffsetHz, offset_hz_);
    put(rl::CarrierPhaseRad, std::arg(centre));
    put(rl::TimingOffsetSymbols, tau_ + channel_.centroid());
    put(rl::EqualiserGain, std::abs(centre) * levels_.gain * std::sqrt(power_));
    put(rl::PilotLevelDb, 20 * std::log10(std::max(std::abs(pilot), 1e-10)));
    put(rl::ChannelPowerDb, 10 * std::log10(power_ / (32767.0 * 32767.0)));
    put(rl::ModelTaps, 2.0 * channel_.half_length() + 1);
    put(rl::PilotProminenceDb, evidence_.pilot_db);
    put(rl::TimingContrast, evidence_.timing_contrast);
    put(rl::LevelKurtosis, evidence_.kurtosis);
    put(rl::ChannelFraction, evidence_.channel_fraction);
}

}  // namespace monitor
