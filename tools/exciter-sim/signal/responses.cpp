#include "responses.h"

#include <cmath>
#include <numbers>

#include "fftfilter.h"

namespace vsb::detail {

namespace {
constexpr double kPi = std::numbers::pi;
constexpr double kChannelWidth = 6.0e6;
constexpr double kNyquistEdge = kSymbolRate / 4;  // half-power edge of the VSB spectrum
}  // namespace

double rrc_amplitude(double f_hz) {
    const double f = std::abs(f_hz);
    const double lo = kNyquistEdge * (1 - kRollOff);
    const double hi = kNyquistEdge * (1 + kRollOff);
    if (f <= lo) return 1.0;
    if (f >= hi) return 0.0;
    return std::cos(kPi / 2 * (f - lo) / (hi - lo));
}

cplx channel_distortion(double f_hz, const Impairments& imp) {
    const double x = f_hz / kChannelWidth;  // -0.5 .. 0.5 across the channel
    const double amp_db =
        imp.tilt_db * x + imp.ripple_db / 2 * std::sin(2 * kPi * imp.ripple_cycles * x);
    // Group delay tau(f) = A sin(w f); the phase is -2 pi times its integral from 0.
    const double a = imp.gd_ripple_ns * 1e-9 / 2;
    const double w = 2 * kPi * imp.gd_ripple_cycles / kChannelWidth;
    const double phase = w > 0 ? -2 * kPi * a * (1 - std::cos(w * f_hz)) / w : 0.0;
    return std::pow(10.0, amp_db / 20) * std::polar(1.0, phase);
}

double output_filter(double f_hz) {
    const double f = std::abs(f_hz);
    constexpr double pass = 3.4e6;
    constexpr double stop = 5.3e6;
    if (f <= pass) return 1.0;
    if (f >= stop) return 0.0;
    return 0.5 * (1 + std::cos(kPi * (f - pass) / (stop - pass)));
}

std::vector<cplx> design_fir(const std::function<cplx(double)>& response, double fs,
                             std::size_t grid_size, std::size_t length, double kaiser_beta) {
    std::vector<cplx> spectrum(grid_size), imp(grid_size);
    for (std::size_t k = 0; k < grid_size; ++k) {
        const double bin = k < grid_size / 2 ? double(k) : double(k) - double(grid_size);
        spectrum[k] = response(bin * fs / double(grid_size));
    }
    void* plan = make_plan(grid_size, spectrum.data(), imp.data(), false);
    execute_plan(plan, spectrum.data(), imp.data());
    destroy_plan(plan);
    const std::size_t half = (length - 1) / 2;
    const double norm = std::cyl_bessel_i(0.0, kaiser_beta);
    std::vector<cplx> taps(length);
    for (std::size_t i = 0; i < length; ++i) {
        const double r = (double(i) - double(half)) / double(half);
        const double w = std::cyl_bessel_i(0.0, kaiser_beta * std::sqrt(1 - r * r)) / norm;
        const std::size_t src = (i + grid_size - half) % grid_size;
        taps[i] = imp[src] * (w / double(grid_size));
    }
    return taps;
}

double matched_noise_gain() {
    // Sum rc[m]^2 = Fs * integral P^4 / (integral P^2)^2 over one symbol-rate period.
    constexpr int kPoints = 1 << 16;
    double p2 = 0, p4 = 0;
    for (int k = 0; k < kPoints; ++k) {
        const double f = (k - kPoints / 2) * kSymbolRate / kPoints;
        const double a2 = std::pow(rrc_amplitude(f), 2);
        p2 += a2;
        p4 += a2 * a2;
    }
    return kPoints * p4 / (p2 * p2);
}

}  // namespace vsb::detail
