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
// Decide, fit the long channel, equalise with it while the eye is shut: the fit to decisions an
// unfinished equaliser made is pulled towards that equaliser, so each pass opens the eye only a
// little further.
constexpr int kShutIterations = 16;
// With the eye shut by a strong echo the sign is right far more often than the nearest level,
// and a few passes deciding only the sign bring the channel close enough for the levels to take
// over; after them, the passes stop once the decisions improve by less than 2 %.
constexpr int kSignPasses = 3;
constexpr double kSettled = 0.98;
constexpr double kSignLevel = 21.0 / 4.0;
// Decisions this close to their levels (mean square, 24 dB MER) leave the eye open.
constexpr double kOpenEye = 21.0 / 250;
// The long channel's equaliser must open the eye by 1 dB more than the matched filter alone for
// the channel, not noise, to have shut it.
constexpr double kEqualiserGain = 1.26;
constexpr int kReachMargin = 4;  // taps the short fit reaches past the farthest echo it holds
constexpr int kTimingSteps = 4;
}  // namespace

Receiver::Receiver()
    : channel_(fft_),
      long_(fft_),
      spectrum_(fft_),
      received_(kN),
      receivedspectrum_(kN),
      reference_(kN),
      referencespectrum_(kN),
      symbolspectrum_(kN),
      farspectrum_(kN),
      pilotless_(kN),
      spare_(kN),
      channelgrid_(kN),
      scratch_(kN),
      equalised_(kN),
      ramp_(kN),
      inphase_(kN),
      quadrature_(kN),
      decided_(kN),
      echoprofile_(rl::kEchoProfilePoints) {}

// The sample block holds I then Q of the first 4096 samples, then I then Q of the rest.
bool Receiver::load(const std::int32_t* s) {
    constexpr std::size_t half = kN / 2;
    double power = 0;
    for (std::size_t n = 0; n < kN; ++n) {
        const std::size_t base = n < half ? n : n + half;
        received_[n] = Complex(double(s[base]), double(s[base + half]));
        power += std::norm(received_[n]);
    }
    power_ = power / double(kN);
    if (!(power_ > 0)) return false;
    const double scale = 1 / std::sqrt(power_);
    for (auto& x : received_) x *= scale;
    return true;
}

// The timing's phase ramp over the FFT grid, recomputed only when the timing has moved.
void Receiver::updateramp() {
    if (ramptau_ == tau_) return;
    delayramp(tau_, ramp_);
    ramptau_ = tau_;
}

// Matched filter (advanced by tau), optionally the inverse of the channel estimate, then the
// (-j)^n rotation undone: inphase_ holds level + pilot, quadrature_ the VSB quadrature.
void Receiver::equalise(bool withchannel) {
    const auto& pulse = pulsegrid();
    double floor = 0;
    if (withchannel) {
        for (std::size_t k = 0; k < kN; ++k)
            floor += std::norm(channelgrid_[k]) * pulse.amplitude[k];
        floor = 1e-6 * floor / (double(kN) * pulse.rc0) + 1e-300;
    }
    updateramp();
    const double norm = 1 / (pulse.rc0 * kN);
    for (std::size_t k = 0; k < kN; ++k) {
        const double a = pulse.amplitude[k];
        if (a == 0) {
            scratch_[k] = 0;
            continue;
        }
        Complex v = mul(receivedspectrum_[k], ramp_[k]) * (a * norm);
        if (withchannel) {
            const Complex d = channelgrid_[k];
            v = mulconj(v, d) / (std::norm(d) + floor);
        }
        scratch_[k] = v;
    }
    fft_.inverse(scratch_, equalised_);
    for (std::size_t n = 0; n < kN; ++n) {
        const Complex w = mulconj(equalised_[n], rotation(n));
        inphase_[n] = w.real();
        quadrature_[n] = w.imag();
    }
}

// Mean square distance to the nearest level after matched filtering at timing tau, with the
// phase taken from the pilot and the gain from the signal's power.
double Receiver::timingmetric(double tau) {
    tau_ = tau;
    equalise(false);
    Complex pilot = 0;
    for (std::size_t n = kEdgeSamples; n < kN - kEdgeSamples; ++n)
        pilot += Complex(inphase_[n], quadrature_[n]);
    const double size = std::abs(pilot);
    const double c = size > 0 ? pilot.real() / size : 1.0, s = size > 0 ? -pilot.imag() / size : 0;
    for (std::size_t n = 0; n < kN; ++n) {
        const double i = inphase_[n], q = quadrature_[n];
        inphase_[n] = i * c - q * s, quadrature_[n] = i * s + q * c;
    }
    scaletolevels(kPilotLevel);
    return squareddecisionerror(kPilotLevel);
}

// Scales the in-phase and quadrature values so the in-phase power over the fitted range is that
// of the eight levels with the pilot: the gain a fit to coarse decisions, or none, leaves open.
void Receiver::scaletolevels(double pilot) {
    double power = 0;
    for (std::size_t n = kEdgeSamples; n < kN - kEdgeSamples; ++n)
        power += inphase_[n] * inphase_[n];
    power /= double(kN - 2 * kEdgeSamples);
    const double gain = std::sqrt((kDataPower + pilot * pilot) / std::max(power, 1e-300));
    for (std::size_t n = 0; n < kN; ++n) inphase_[n] *= gain, quadrature_[n] *= gain;
}

// Sum of the squared distances of the fitted in-phase values (less the pilot) to their nearest
// levels, in four partial sums so the additions need not wait on each other.
double Receiver::squareddecisionerror(double pilot) const {
    double sum[4] = {};
    const double* v = inphase_.data();
    for (std::size_t n = kEdgeSamples; n < kN - kEdgeSamples; n += 4) {
        for (std::size_t j = 0; j < 4; ++j) {
            const double y = v[n + j] - pilot;
            const double d = y - nearestlevel(y);
            sum[j] += d * d;
        }
    }
    return (sum[0] + sum[1]) + (sum[2] + sum[3]);
}

// Coarse search over a symbol in quarters, a parabola through the best three, and a last pass
// at the result so the first decisions come from the best timing.
void Receiver::searchtiming() {
    double metric[kTimingSteps];
    int best = 0;
    for (int i = 0; i < kTimingSteps; ++i) {
        metric[i] = timingmetric(double(i) / kTimingSteps);
        if (metric[i] < metric[best]) best = i;
    }
    const double l = metric[(best + kTimingSteps - 1) % kTimingSteps], c = metric[best];
    const double r = metric[(best + 1) % kTimingSteps];
    const double den = l - 2 * c + r;
    const double delta = den > 0 ? std::clamp(0.5 * (l - r) / den, -0.5, 0.5) : 0.0;
    const double worst = *std::max_element(metric, metric + kTimingSteps);
    evidence_.timingcontrast = worst > 0 ? (worst - c) / worst : 0.0;
    timingmetric((best + delta) / kTimingSteps);
}

// The nearest level to each equalised value, with the pilot, rotated into the channel-centred
// frame, and its transform. Coarse decisions only take the sign, at the level that leaves a fit
// to random 8-VSB data unbiased (E s^2 / E |s|): when the eye is shut they are right far more
// often than the nearest level.
void Receiver::decide(bool coarse) {
    for (std::size_t n = 0; n < kN; ++n) {
        const double y = inphase_[n] - pilot_;
        decided_[n] = (coarse ? std::copysign(kSignLevel, y) : nearestlevel(y)) + pilot_;
        scratch_[n] = decided_[n] * rotation(n);
    }
    decidedpilot_ = pilot_;
    fft_.forward(scratch_, symbolspectrum_);
}

// Mean square distance of the equalised values to their nearest levels.
double Receiver::decisionerror() const {
    return squareddecisionerror(pilot_) / double(kN - 2 * kEdgeSamples);
}

// The capture through the inverse of the long channel and the matched filter: the symbols in
// the decisions' own timing (the long channel carries the delay).
void Receiver::equaliselong() {
    const auto& pulse = pulsegrid();
    const auto& overall = long_.overall();
    double energy = 0;
    for (std::size_t k = 0; k < kN; ++k) energy += std::norm(overall[k]);
    const double floor = 1e-6 * energy / (double(kN) * pulse.rc0) + 1e-300;
    const double norm = 1 / (pulse.rc0 * kN);
    for (std::size_t k = 0; k < kN; ++k) {
        const double a = pulse.amplitude[k];
        const Complex g = overall[k];
        scratch_[k] = a == 0 ? Complex{}
                             : mulconj(receivedspectrum_[k], g) *
                                   (a * a * norm / (std::norm(g) + floor * a * a));
    }
    fft_.inverse(scratch_, equalised_);
    for (std::size_t n = 0; n < kN; ++n) {
        const Complex w = mulconj(equalised_[n], rotation(n));
        inphase_[n] = w.real();
        quadrature_[n] = w.imag();
    }
    scaletolevels(pilot_);
}

// The long channel fitted to the current decisions, and the pilot read through it.
void Receiver::fitlong() {
    long_.fit(symbolspectrum_, receivedspectrum_);
    const double pilot = long_.pilotlevel(symbolspectrum_, receivedspectrum_, pilot_);
    if (pilot > kPilotLevel / 8 && pilot < 8 * kPilotLevel) pilot_ = pilot;
}

// Decide, fit, equalise until the eye is open or the decisions stop improving; the first
// `signpasses` decide only the sign. Returns the last decision error.
double Receiver::iterate(int signpasses) {
    double error = decisionerror();
    for (int it = 0; it < kShutIterations && error > kOpenEye; ++it) {
        decide(it < signpasses);
        fitlong();
        equaliselong();
        const double previous = error;
        error = decisionerror();
        if (it >= signpasses && error > kSettled * previous) break;
    }
    return error;
}

void Receiver::acquire() {
    decide(false);
    fitlong();
    equaliselong();
    // Noise alone keeps the eye from opening fully; a strong echo needs the sign-only passes.
    // Which of the two it is shows only by trying: the passes are kept if they open it further.
    const double hard = iterate(0);
    if (hard > kOpenEye) {
        long_.keep();
        const double pilot = pilot_;
        if (iterate(kSignPasses) >= hard) {
            long_.restore();
            pilot_ = pilot;
            equaliselong();
        }
    }
    // The carrier from a channel that opens the eye (one that does not would pull it off).
    decide(false);
    fitlong();
    refinecarrier(long_.overall(), symbolspectrum_);
    equaliselong();
    decide(false);
    fitlong();
    equaliselong();
    decide(false);
}

// The ideal received signal for the decided data: through the VSB pulse, delayed by the
// current timing.
void Receiver::rebuildreference() {
    const auto& pulse = pulsegrid();
    updateramp();
    for (std::size_t k = 0; k < kN; ++k)
        referencespectrum_[k] = mulconj(symbolspectrum_[k], ramp_[k]) * pulse.amplitude[k];
    // Data alone: the pilot has been taken out of the capture the short fit sees.
    referencespectrum_[kPilotBin] -=
        mulconj(decidedpilot_ * double(kN), ramp_[kPilotBin]) * pulse.amplitude[kPilotBin];
    fft_.inverse(referencespectrum_, reference_);
    for (auto& v : reference_) v /= double(kN);
}

// Removes the frequency left between the capture and a model of it (a channel's response times
// a signal's spectrum).
void Receiver::refinecarrier(const CBuffer& channel, const CBuffer& signal) {
    for (std::size_t k = 0; k < kN; ++k) scratch_[k] = mul(channel[k], signal[k]);
    fft_.inverse(scratch_, equalised_);  // equalised_ reused as the model
    for (auto& v : equalised_) v /= double(kN);
    const double hz = std::clamp(residualfrequency(received_, equalised_), -2e3, 2e3);
    shift(received_, hz);
    offsethz_ += hz;
    fft_.forward(received_, receivedspectrum_);
}

// The final channel: the short least-squares fit (its length chosen from the data) at the
// timing of the main path, plus whatever the long channel holds that the short fit does not
// (echoes beyond its reach); then the equaliser is built from both.
void Receiver::refine(bool fromlong) {
    // From the long fit, the main path lies within a fraction of a sample; a first short fit
    // finds the rest, so the final one is centred on it and needs no taps to express a
    // fractional delay. It also lets the pilot be measured without the data under it.
    if (fromlong) {
        tau_ = long_.mainpath();
        rebuildreference();
        removepilot(false);
        channel_.fit(reference_, referencespectrum_, pilotless_);
        channel_.responseongrid(channelgrid_, scratch_);
        removepilot(true);
        tau_ += std::clamp(channel_.centroid(), -0.5, 0.5);
    }
    rebuildreference();
    int reach = ChannelFit::kShortHalf;
    for (;;) {
        channel_.fit(reference_, referencespectrum_, pilotless_, reach);
        channel_.responseongrid(channelgrid_, scratch_);
        std::fill(farspectrum_.begin(), farspectrum_.end(), Complex{});
        if (long_.findfar(ramp_, channelgrid_, scratch_, equalised_) == 0) return;
        // An echo the longest short fit could hold is better held by it: its taps are fitted
        // with the capture's edges left out, and the band edges follow from them.
        int wanted = reach;
        for (int i = 0; i < long_.farcount(); ++i) {
            const int m = std::abs(long_.farposition(i));
            if (m <= ChannelFit::kMaxHalf) wanted = std::max(wanted, m + kReachMargin);
        }
        wanted = std::min(wanted, ChannelFit::kMaxHalf);
        if (wanted <= reach) break;
        reach = wanted;
    }
    long_.farongrid(farspectrum_, scratch_);
    for (std::size_t k = 0; k < kN; ++k) channelgrid_[k] += farspectrum_[k];
}

// An eye the matched filter alone opens, or one noise rather than the channel keeps shut: the
// decisions come from the matched filter, a short fit and the carrier follow from them, and that
// fit's equaliser makes the decisions the final fits use (decisions from an equaliser of many
// taps would carry its estimation noise into the short fit as structure to model). The long fit
// then gives the echo profile, the pilot and any echo beyond the short fit's reach.
void Receiver::shortpath() {
    decide(false);
    rebuildreference();
    removepilot(false);
    channel_.fit(reference_, referencespectrum_, pilotless_);
    channel_.responseongrid(channelgrid_, scratch_);
    refinecarrier(channelgrid_, referencespectrum_);
    removepilot(true);
    equalise(true);
    tau_ += std::clamp(channel_.centroid(), -0.5, 0.5);
    decide(false);
    fitlong();
}

// The pilot as a tone at -Fs/4 over the fitted range, and the capture without it: the short
// fit then sees data alone, so a pilot off its level is not taken for the channel's response at
// its frequency (a dip or peak there, and taps to make it). The data leave a few per cent of
// the pilot's amplitude in the tone's estimate; with the channel known (lessdata), they are
// taken out of the capture first.
void Receiver::removepilot(bool lessdata) {
    if (lessdata) {
        for (std::size_t k = 0; k < kN; ++k)
            scratch_[k] = mul(channelgrid_[k], referencespectrum_[k]);
        fft_.inverse(scratch_, spare_);
    }
    Complex sum = 0;
    for (std::size_t n = kEdgeSamples; n < kN - kEdgeSamples; ++n) {
        const Complex data = lessdata ? spare_[n] / double(kN) : Complex{};
        sum += mulconj(received_[n] - data, rotation(n));
    }
    pilottone_ = sum / double(kN - 2 * kEdgeSamples);
    for (std::size_t n = 0; n < kN; ++n) pilotless_[n] = received_[n] - pilottone_ * rotation(n);
}

// The pilot in units of the symbol levels: its tone through the inverse of the channel and the
// pulse at its frequency.
void Receiver::measurepilot() {
    const Complex h = channelresponse(channel_, long_, kPilotHz, nullptr);
    const double through = std::abs(h) * rrcamplitude(kPilotHz);
    if (through > 0) pilot_ = std::abs(pilottone_) / through;
}

Status Receiver::run(const std::int32_t* samples, std::uint8_t* results) {
    if (!load(samples)) return NoEnergy;
    pilot_ = kPilotLevel;
    fft_.forward(received_, receivedspectrum_);
    const double pilothz = findpilot(receivedspectrum_);
    evidence_.pilotdb = pilotprominencedb(receivedspectrum_, pilothz);
    offsethz_ = pilothz - kPilotHz;
    shift(received_, offsethz_);
    fft_.forward(received_, receivedspectrum_);
    searchtiming();
    // Only an eye the matched filter leaves shut needs the long channel to open it, and only if
    // the long channel's equaliser opens it markedly was the channel what shut it.
    const double searched = tau_, unequalised = decisionerror();
    bool echoes = false;
    if (unequalised > kOpenEye) {
        acquire();
        echoes = kEqualiserGain * decisionerror() < unequalised;
    }
    if (!echoes) {
        timingmetric(searched);
        shortpath();
    }
    refine(echoes);
    measurepilot();
    unequalisederror_ = unequalisederror();
    equalise(true);
    for (std::size_t n = 0; n < kN; ++n) inphase_[n] -= kPilotLevel;
    levels_ = levelfitter_.fit(inphase_.data() + kEdgeSamples, kN - 2 * kEdgeSamples);
    evidence_.kurtosis = kurtosis(inphase_.data() + kEdgeSamples, kN - 2 * kEdgeSamples);
    evidence_.sync = findsegmentsync(inphase_.data(), levels_, kEdgeSamples, kN - kEdgeSamples);

    writeconstellation(inphase_.data(), quadrature_.data(), levels_, results);
    eye_.write(equalised_, levels_, results);
    spectrum_.measure(received_, reinterpret_cast<double*>(scratch_.data()));
    const auto* levels = reinterpret_cast<const double*>(scratch_.data());
    for (std::size_t i = 0; i < rl::kSpectrumPoints; ++i)
        rl::write(results, rl::kSpectrumOffset + 8 * i, levels[i]);
    emission_.measure(spectrum_, received_, receivedspectrum_, channelgrid_, referencespectrum_,
                      results);
    evidence_.channelfraction = spectrum_.channelfraction();
    writeresponse(channel_, long_, results);
    writediagnostics(results);
    writemeasures(results);
    lock_ = judge(evidence_);
    return Ok;
}

double Receiver::merdb() const {
    const double noise = levels_.noise / (levels_.gain * levels_.gain);
    return std::clamp(10 * std::log10(kDataPower / std::max(noise, 1e-12)), -20.0, 90.0);
}

void Receiver::writediagnostics(std::uint8_t* results) const {
    const Complex centre = channel_.response(0.0, nullptr);
    const double pilot = (kPilotLevel + levels_.offset) / (kPilotLevel * levels_.gain);
    auto put = [results](rl::Diagnostic d, double v) {
        rl::write(results, rl::kDiagnosticsOffset + 8 * d, v);
    };
    put(rl::MerDb, merdb());
    put(rl::CarrierOffsetHz, offsethz_);
    put(rl::CarrierPhaseRad, std::arg(centre));
    put(rl::TimingOffsetSymbols, tau_ + channel_.centroid());
    put(rl::EqualiserGain, std::abs(centre) * levels_.gain * std::sqrt(power_));
    put(rl::PilotLevelDb, 20 * std::log10(std::max(std::abs(pilot), 1e-10)));
    put(rl::ChannelPowerDb, 10 * std::log10(power_ / (32767.0 * 32767.0)));
    put(rl::ModelTaps, 2.0 * channel_.halflength() + 1);
    put(rl::PilotProminenceDb, evidence_.pilotdb);
    put(rl::TimingContrast, evidence_.timingcontrast);
    put(rl::LevelKurtosis, evidence_.kurtosis);
    put(rl::ChannelFraction, evidence_.channelfraction);
}

}  // namespace monitor
