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

double rrcamplitude(double fhz) {
    const double f = std::abs(fhz);
    const double lo = kNyquistEdge * (1 - kRollOff);
    const double hi = kNyquistEdge * (1 + kRollOff);
    if (f <= lo) return 1.0;
    if (f >= hi) return 0.0;
    return std::cos(kPi / 2 * (f - lo) / (hi - lo));
}

Complex channeldistortion(double fhz, const Impairments& imp) {
    const double x = fhz / kChannelWidth;  // -0.5 .. 0.5 across the channel
    const double ampdb =
        imp.tiltdb * x + imp.rippledb / 2 * std::sin(2 * kPi * imp.ripplecycles * x);
    // Group delay tau(f) = A sin(w f); the phase is -2 pi times its integral from 0.
    const double a = imp.gdripplens * 1e-9 / 2;
    const double w = 2 * kPi * imp.gdripplecycles / kChannelWidth;
    const double phase = w > 0 ? -2 * kPi * a * (1 - std::cos(w * fhz)) / w : 0.0;
    Complex echoes = 1.0;
    for (const Echo& e : imp.echoes)
        echoes += std::polar(std::pow(10.0, e.db / 20), -2 * kPi * fhz * e.us * 1e-6);
    return std::pow(10.0, ampdb / 20) * std::polar(1.0, phase) * echoes;
}

double outputfilter(double fhz) {
    const double f = std::abs(fhz);
    constexpr double pass = 3.4e6;
    constexpr double stop = 5.3e6;
    if (f <= pass) return 1.0;
    if (f >= stop) return 0.0;
    return 0.5 * (1 + std::cos(kPi * (f - pass) / (stop - pass)));
}

std::vector<Complex> designfir(const std::function<Complex(double)>& response, double fs,
                               std::size_t gridsize, std::size_t length, double kaiserbeta) {
    std::vector<Complex> spectrum(gridsize), imp(gridsize);
    for (std::size_t k = 0; k < gridsize; ++k) {
        const double bin = k < gridsize / 2 ? double(k) : double(k) - double(gridsize);
        spectrum[k] = response(bin * fs / double(gridsize));
    }
    void* plan = makeplan(gridsize, spectrum.data(), imp.data(), false);
    executeplan(plan, spectrum.data(), imp.data());
    destroyplan(plan);
    const std::size_t half = (length - 1) / 2;
    const double norm = std::cyl_bessel_i(0.0, kaiserbeta);
    std::vector<Complex> taps(length);
    for (std::size_t i = 0; i < length; ++i) {
        const double r = (double(i) - double(half)) / double(half);
        const double w = std::cyl_bessel_i(0.0, kaiserbeta * std::sqrt(1 - r * r)) / norm;
        const std::size_t src = (i + gridsize - half) % gridsize;
        taps[i] = imp[src] * (w / double(gridsize));
    }
    return taps;
}

double matchednoisegain() {
    // Sum rc[m]^2 = Fs * integral P^4 / (integral P^2)^2 over one symbol-rate period.
    constexpr int kPoints = 1 << 16;
    double p2 = 0, p4 = 0;
    for (int k = 0; k < kPoints; ++k) {
        const double f = (k - kPoints / 2) * kSymbolRate / kPoints;
        const double a2 = std::pow(rrcamplitude(f), 2);
        p2 += a2;
        p4 += a2 * a2;
    }
    return kPoints * p4 / (p2 * p2);
}

}  // namespace vsb::detail
