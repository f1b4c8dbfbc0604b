#include "vsbsignal.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>
#include <random>
#include <vector>

#include "fftfilter.h"
#include "refpsd.h"
#include "responses.h"

namespace vsb {

using detail::Complex;

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kRate2 = 2 * kSymbolRate;  // the exciter works at twice the symbol rate
constexpr std::size_t kShapingGrid = 1 << 16;
// Long enough for a sharp +-3 MHz edge. Centred, spanning +-760 us, with the Kaiser window still
// above 0.995 at +-kMaxEchoUs: echoes and pre-echoes pass at their level.
constexpr std::size_t kShapingTaps = 32767;
constexpr std::size_t kOutputGrid = 1 << 12;
constexpr std::size_t kOutputTaps = 1023;
constexpr double kPilotLevel = 1.25;
constexpr double kDataPower = 21.0;  // mean square of the eight levels
constexpr std::size_t kSegment = 832;
constexpr int kSync[4] = {5, -5, -5, 5};
constexpr std::size_t kWarmup = 3 * kCaptureSamples;

// 8-level data with a segment sync at the start of every 832 symbols, the pilot added, and
// rotated by (-j)^k: the VSB signal's complex symbols in the channel-centred frame.
class SymbolSource {
  public:
    SymbolSource(std::uint64_t seed, double noisesigma)
        : data_(seed), noise_(seed ^ 0x9e3779b97f4a7c15ull), sigma_(noisesigma) {}

    Complex next() {
        const std::size_t pos = count_ % kSegment;
        const double level = pos < 4 ? kSync[pos] : double(2 * int(data_() >> 61) - 7);
        static constexpr Complex kRot[4] = {{1, 0}, {0, -1}, {-1, 0}, {0, 1}};
        Complex c = (level + kPilotLevel) * kRot[count_ % 4];
        if (sigma_ > 0) c += Complex(gauss_(noise_), gauss_(noise_)) * sigma_;
        ++count_;
        return c;
    }

  private:
    std::mt19937_64 data_;
    std::mt19937_64 noise_;
    std::normal_distribution<double> gauss_;
    double sigma_;
    std::uint64_t count_ = 0;
};

double noisesigma(const Impairments& imp, bool withnoise) {
    if (!withnoise || !std::isfinite(imp.snrdb)) return 0.0;
    const double snr = std::pow(10.0, imp.snrdb / 10);
    return std::sqrt(kDataPower / (snr * detail::matchednoisegain()));
}

}  // namespace

// The exciter chain: symbols (zero-stuffed to twice the symbol rate) -> VSB shaping with the
// linear distortion and timing offset -> third-order non-linearity -> output filter -> one
// sample per symbol -> carrier offset and phase -> level.
struct Generator::Impl {
    Impl(std::uint64_t seed, const Impairments& imp, bool withnoise)
        : imp(imp), symbols(seed, noisesigma(imp, withnoise)) {
        const double tau = imp.timingoffset / kSymbolRate;
        auto shaping = [&imp, tau](double f) {
            return detail::rrcamplitude(f) * detail::channeldistortion(f, imp) *
                   std::polar(1.0, -2 * kPi * f * tau);
        };
        auto shapingtaps = detail::designfir(shaping, kRate2, kShapingGrid, kShapingTaps, 9.0);
        auto outputtaps =
            detail::designfir([](double f) { return Complex(detail::outputfilter(f)); }, kRate2,
                              kOutputGrid, kOutputTaps, 9.0);
        nlscale = imp.nonlinearity / linearpower(shapingtaps, noisesigma(imp, withnoise));
        shaper = std::make_unique<detail::StreamFilter>(
            shapingtaps, kShapingGrid, [this](Complex* d, std::size_t n) { stuff(d, n); });
        output = std::make_unique<detail::StreamFilter>(
            outputtaps, kOutputGrid, [this](Complex* d, std::size_t n) { distort(d, n); });
        calibratelevel();
    }

    // Mean power at the non-linearity's input, from the taps: data and noise as white symbols
    // at every other sample, and the pilot as a tone at -Fs/4.
    static double linearpower(const std::vector<Complex>& taps, double sigma) {
        double energy = 0;
        Complex pilot[2] = {};
        for (std::size_t m = 0; m < taps.size(); ++m) {
            energy += std::norm(taps[m]);
            pilot[m % 2] += taps[m] * std::polar(1.0, kPi * double(m) / 4);
        }
        const double random = (kDataPower + 2 * sigma * sigma) * energy / 2;
        return random + kPilotLevel * kPilotLevel * (std::norm(pilot[0]) + std::norm(pilot[1])) / 2;
    }

    void stuff(Complex* d, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i, ++phase2) d[i] = phase2 % 2 == 0 ? symbols.next() : 0.0;
    }

    void distort(Complex* d, std::size_t n) {
        shaper->pull(d, n);
        if (nlscale == 0) return;
        for (std::size_t i = 0; i < n; ++i) d[i] *= 1.0 - nlscale * std::norm(d[i]);
    }

    void next(double* iq, std::size_t n) {
        work.resize(2 * n);
        output->pull(work.data(), 2 * n);
        const double w = 2 * kPi * imp.carrieroffsethz / kSymbolRate;
        for (std::size_t i = 0; i < n; ++i, ++sample) {
            const double turn = std::fmod(w * double(sample), 2 * kPi) + imp.carrierphase;
            const Complex v = work[2 * i] * std::polar(scale, turn);
            iq[2 * i] = v.real();
            iq[2 * i + 1] = v.imag();
        }
    }

    // Runs the chain past the filters' start-up and sets the output level from the last part.
    void calibratelevel() {
        std::vector<double> iq(2 * kWarmup);
        next(iq.data(), kWarmup);
        double power = 0;
        for (std::size_t i = iq.size() - 2 * kCaptureSamples; i < iq.size(); ++i)
            power += iq[i] * iq[i];
        power /= double(kCaptureSamples);
        scale = power > 0 ? imp.level * 32767.0 / std::sqrt(power) : 0.0;
    }

    Impairments imp;
    SymbolSource symbols;
    std::unique_ptr<detail::StreamFilter> shaper;
    std::unique_ptr<detail::StreamFilter> output;
    std::vector<Complex> work;
    std::uint64_t phase2 = 0;
    std::uint64_t sample = 0;
    double nlscale = 0;
    double scale = 1.0;
    std::uint64_t seed = 0;
    std::once_flag psdonce;
    detail::ReferencePsd psd;
};

Generator::Generator(std::uint64_t seed, const Impairments& imp)
    : impl_(std::make_unique<Impl>(seed, imp, true)) {
    impl_->seed = seed;
}

Generator::~Generator() = default;

void Generator::capture(double* iq, std::size_t n) {
    impl_->next(iq, n);
}

void Generator::capture(std::uint8_t* words, std::size_t n) {
    std::vector<double> iq(2 * n);
    impl_->next(iq.data(), n);
    for (std::size_t i = 0; i < 2 * n; ++i) {
        const double q = std::clamp(std::round(iq[i]), -32768.0, 32767.0);
        const auto v = static_cast<std::uint16_t>(static_cast<std::int16_t>(q));
        words[2 * i] = static_cast<std::uint8_t>(v & 0xff);
        words[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
    }
}

double Generator::referencepsddb(double fhz) const {
    std::call_once(impl_->psdonce, [this] {
        // The same exciter without noise, centred and unrotated, observed for a long time.
        Impairments clean = impl_->imp;
        clean.carrieroffsethz = 0;
        clean.carrierphase = 0;
        Impl twin(impl_->seed + 1, clean, false);
        impl_->psd = detail::ReferencePsd([&twin](double* iq, std::size_t n) { twin.next(iq, n); });
    });
    return impl_->psd.at(fhz);
}

const Impairments& Generator::impairments() const {
    return impl_->imp;
}

}  // namespace vsb
