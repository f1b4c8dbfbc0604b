#include "independentvsb.h"

#include <algorithm>
#include <numbers>
#include <stdexcept>

namespace independentvsb {

namespace {

using Complex = std::complex<double>;

constexpr double kPi = std::numbers::pi;
constexpr double kFs = 10.762238e6;   // symbol rate, and the capture's sample rate
constexpr double kAlpha = 0.1152;     // roll-off
constexpr double kEdgeHz = 3.0006e6;  // where the channel ends: Fs/4 (1 + roll-off), rounded up
constexpr double kPilot = 1.25;
constexpr std::size_t kSamples = 8192;
constexpr long kSegment = 832;
constexpr int kSync[4] = {5, -5, -5, 5};
constexpr long kSpan = 400;         // pulse taps either side, symbols
constexpr long kPhases = 512;       // pulse table points per symbol
constexpr long kPad = kSpan + 400;  // symbols made either side of the capture
constexpr double kMaxEchoUs = 30;   // 323 symbols
constexpr double kMaxPpm = 5000;    // 41 symbols of drift over a capture
constexpr double kMaxTiming = 30;   // symbols; with the two above, within kPad
// Separate streams of one seed: data, noise, tone phases.
constexpr std::uint64_t kNoiseStream = 0x5bd1e9955bd1e995ull;
constexpr std::uint64_t kToneStream = 0x2545f4914f6cdd1dull;

// splitmix64: small, and the same numbers on every standard library.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    double uniform() { return (double(next() >> 11) + 0.5) * 0x1p-53; }  // in (0, 1)
    // Box-Muller: two independent unit-variance Gaussians as one complex value.
    Complex gauss() {
        const double r = std::sqrt(-2 * std::log(uniform()));
        return std::polar(r, 2 * kPi * uniform());
    }

  private:
    std::uint64_t state_;
};

// Root-raised-cosine with symbol period T' = 2 symbols (Nyquist bandwidth Fs/4), t in symbols.
double rrc(double t) {
    const double x = t / 2;
    const double edge = 1 / (4 * kAlpha);  // where numerator and denominator both vanish
    if (std::abs(x) < 1e-8) return 1 - kAlpha + 4 * kAlpha / kPi;
    if (std::abs(std::abs(x) - edge) < 1e-8)
        return kAlpha / std::sqrt(2.0) *
               ((1 + 2 / kPi) * std::sin(kPi * edge) + (1 - 2 / kPi) * std::cos(kPi * edge));
    return (std::sin(kPi * x * (1 - kAlpha)) + 4 * kAlpha * x * std::cos(kPi * x * (1 + kAlpha))) /
           (kPi * x * (1 - 16 * kAlpha * kAlpha * x * x));
}

// Flat over the inner half of the span, a cosine taper over the outer half: the truncated pulse
// stays flat to 0.0003 dB up to the roll-off (2.38 MHz) and below -90 dB beyond 3.1 MHz.
double taper(double t) {
    const double r = std::abs(t) / kSpan;
    return r <= 0.5 ? 1.0 : 0.5 + 0.5 * std::cos(kPi * (r - 0.5) / 0.5);
}

struct Pulse {
    std::vector<double> table;  // p(i / kPhases - kSpan), one zero past the end
    double energy = 0;          // sum of p at whole symbols squared: the matched filter's gain
    double noisegain = 0;       // sum over lags of (matched response / its peak)^2
};

const Pulse& pulse() {
    static const Pulse p = [] {
        Pulse out;
        out.table.resize(2 * kSpan * kPhases + 2, 0.0);
        for (long i = 0; i <= 2 * kSpan * kPhases; ++i) {
            const double t = double(i) / kPhases - kSpan;
            out.table[std::size_t(i)] = rrc(t) * taper(t);
        }
        std::vector<double> taps(2 * kSpan + 1);
        for (std::size_t m = 0; m < taps.size(); ++m) taps[m] = out.table[m * kPhases];
        // White noise on the symbols reaches the matched filter's output through the pulse
        // convolved with itself, g; its in-phase part, normalised by g(0), has variance
        // sigma^2 sum g(n)^2 / g(0)^2 (sigma^2 per component on the symbols).
        std::vector<double> g(taps.size());
        for (std::size_t lag = 0; lag < taps.size(); ++lag)
            for (std::size_t m = 0; m + lag < taps.size(); ++m) g[lag] += taps[m] * taps[m + lag];
        out.energy = g[0];
        for (std::size_t lag = 0; lag < g.size(); ++lag)
            out.noisegain += (lag == 0 ? 1.0 : 2.0) * g[lag] * g[lag] / (g[0] * g[0]);
        return out;
    }();
    return p;
}

double mer(const Options& o) {
    return std::pow(10.0, o.snrdb / 10);
}

// Symbols for k = -kPad .. kSamples + kPad - 1 (index k + kPad), real and imaginary parts apart
// (plain loops over doubles stay fast in an unoptimised build): levels, segment syncs (the
// capture starts at a point of a segment the seed picks), pilot, rotated by (-j)^k, and for
// shaped noise the noise on them.
struct Symbols {
    std::vector<double> re, im;
};

Symbols symbols(const Options& o) {
    Random data(o.seed), noise(o.seed ^ kNoiseStream);
    const long start = long(data.next() % kSegment);
    const bool shaped = std::isfinite(o.snrdb) && !o.noisetoedge;
    // The in-phase noise after the matched filter, on the levels' scale, has the variance
    // sigma^2 noisegain: MER = 21 / (sigma^2 noisegain).
    const double sigma = shaped ? std::sqrt(21 / (pulse().noisegain * mer(o))) : 0.0;
    static constexpr Complex kRotation[4] = {{1, 0}, {0, -1}, {-1, 0}, {0, 1}};
    Symbols out{std::vector<double>(kSamples + 2 * kPad), std::vector<double>(kSamples + 2 * kPad)};
    for (std::size_t i = 0; i < out.re.size(); ++i) {
        const long pos = (long(i) + start) % kSegment;
        const double level = pos < 4 ? kSync[pos] : double(2 * int(data.next() >> 61) - 7);
        Complex c = (level + kPilot * o.pilotscale) * kRotation[pos % 4];
        if (shaped) c += sigma * noise.gauss();
        out.re[i] = c.real();
        out.im[i] = c.imag();
    }
    return out;
}

// Where the pulse sits for a sample at time u (symbols): its first symbol, and the table
// position of that symbol's tap (the later symbols' taps lie kPhases apart, down to 0). All taps
// of one sample share its fractional position.
struct Place {
    long first;
    double pos;
};

Place place(double u) {
    const long first = long(std::ceil(u - kSpan));
    if (first < -kPad || first + 2 * kSpan >= long(kSamples) + kPad)
        throw std::invalid_argument("independentvsb: past the symbols made");
    return {first, (u - double(first) + kSpan) * kPhases};
}

// The pulse at table position pos, pos - kPhases, ... down to 0, linearly interpolated.
void taps(double pos, std::vector<double>& out) {
    const double* table = pulse().table.data();
    const double w = pos - std::floor(pos);
    out.resize(std::size_t(pos) / kPhases + 1);
    for (std::size_t j = 0, i = std::size_t(pos); j < out.size(); ++j, i -= kPhases)
        out[j] = table[i] + w * (table[i + 1] - table[i]);
}

Complex dot(const Symbols& sym, long first, const std::vector<double>& taps) {
    const double* re = sym.re.data() + (first + kPad);
    const double* im = sym.im.data() + (first + kPad);
    double sumre = 0, sumim = 0;
    for (std::size_t j = 0; j < taps.size(); ++j) {
        sumre += re[j] * taps[j];
        sumim += im[j] * taps[j];
    }
    return {sumre, sumim};
}

// One path: gain times the signal delayed by `delay` symbols, summed into x. Without a
// symbol-rate error every sample sits at the same fraction of a symbol: one set of taps serves.
void addpath(const Options& o, const Symbols& sym, double gain, double delay,
             std::vector<Complex>& x) {
    if (o.symbolrateppm == 0) {
        const Place start = place(o.timing - delay);
        place(o.timing - delay + double(kSamples - 1));  // the last sample is in range too
        std::vector<double> shared;
        taps(start.pos, shared);
        for (std::size_t n = 0; n < kSamples; ++n)
            x[n] += gain * dot(sym, start.first + long(n), shared);
        return;
    }
    const double stretch = 1 + o.symbolrateppm * 1e-6;
    std::vector<double> own;
    for (std::size_t n = 0; n < kSamples; ++n) {
        const Place at = place((double(n) + o.timing) * stretch - delay);
        taps(at.pos, own);
        x[n] += gain * dot(sym, at.first, own);
    }
}

void fft(std::vector<Complex>& a, bool inverse) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const Complex step = std::polar(1.0, (inverse ? 2 : -2) * kPi / double(len));
        for (std::size_t i = 0; i < n; i += len) {
            Complex w = 1;
            for (std::size_t k = 0; k < len / 2; ++k, w *= step) {
                const Complex v = a[i + k + len / 2] * w;
                a[i + k + len / 2] = a[i + k] - v;
                a[i + k] += v;
            }
        }
    }
}

// White noise band-limited to +-kEdgeHz, through the echoes like the signal. A complex PSD S0
// (per sample, two-sided) gives the matched filter's in-phase output the variance S0 E / 2,
// E = sum p^2 its gain, so after normalising by E: MER = 21 / (S0 / (2 E)).
void addedgenoise(const Options& o, std::vector<Complex>& x) {
    constexpr std::size_t kBlock = 4 * kSamples;  // room for the echoes' circular wrap
    Random noise(o.seed ^ kNoiseStream);
    std::vector<Complex> z(kBlock);
    for (auto& v : z) v = noise.gauss();  // PSD 2
    fft(z, false);
    for (std::size_t k = 0; k < kBlock; ++k) {
        const double f = (k < kBlock / 2 ? double(k) : double(k) - double(kBlock)) * kFs / kBlock;
        z[k] = std::abs(f) <= kEdgeHz ? z[k] * channelresponse(o, f) : 0.0;
    }
    fft(z, true);
    const double s0 = 42 * pulse().energy / mer(o);
    const double scale = std::sqrt(s0 / 2) / double(kBlock);
    for (std::size_t n = 0; n < kSamples; ++n) x[n] += scale * z[kBlock / 4 + n];
}

double meanpower(const std::vector<Complex>& x) {
    double sum = 0;
    for (const Complex& v : x) sum += std::norm(v);
    return sum / double(x.size());
}

void addtones(const Options& o, std::vector<Complex>& x) {
    const double power = meanpower(x);
    Random phases(o.seed ^ kToneStream);
    for (const auto& [fhz, dbc] : o.tones) {
        const double amp = std::sqrt(power * std::pow(10.0, dbc / 10));
        const double start = 2 * kPi * phases.uniform();
        for (std::size_t n = 0; n < kSamples; ++n)
            x[n] += std::polar(amp, std::fmod(2 * kPi * fhz * double(n) / kFs, 2 * kPi) + start);
    }
}

// The 9th largest of 8192 normalised powers is exceeded by 8 samples, 0.098 %, the nearest
// count to 0.1 % (8.2) that a sample reaches.
double papr(const std::vector<Complex>& x) {
    std::vector<double> p(x.size());
    const double mean = meanpower(x);
    for (std::size_t n = 0; n < x.size(); ++n) p[n] = std::norm(x[n]) / mean;
    const auto ninth = p.end() - 9;
    std::nth_element(p.begin(), ninth, p.end());
    return 10 * std::log10(*ninth);
}

}  // namespace

std::complex<double> channelresponse(const Options& o, double fhz) {
    Complex h = 1.0;
    for (const Echo& e : o.echoes)
        h += std::polar(std::pow(10.0, e.db / 20), -2 * kPi * fhz * e.us * 1e-6);
    return h;
}

// Sample n lies at (n + timing)(1 + ppm 1e-6) symbols of the symbols' own clock; the main path
// and each echo sum the symbols within +-kSpan of it through the pulse. Then noise to the edge,
// carrier, tones, and the level on the RMS of it all.
Capture make(const Options& o) {
    for (const Echo& e : o.echoes)
        if (!(std::abs(e.us) <= kMaxEchoUs))
            throw std::invalid_argument("independentvsb: echo delay beyond 30 us");
    if (!(std::abs(o.symbolrateppm) <= kMaxPpm) || !(std::abs(o.timing) <= kMaxTiming))
        throw std::invalid_argument("independentvsb: symbol clock out of range");
    const auto sym = symbols(o);
    std::vector<Complex> x(kSamples);
    const double stretch = 1 + o.symbolrateppm * 1e-6;
    addpath(o, sym, 1.0, 0.0, x);
    for (const Echo& e : o.echoes)
        addpath(o, sym, std::pow(10.0, e.db / 20), e.us * 1e-6 * kFs * stretch, x);
    if (std::isfinite(o.snrdb) && o.noisetoedge) addedgenoise(o, x);
    const double w = 2 * kPi * o.offsethz / kFs;
    for (std::size_t n = 0; n < kSamples; ++n)
        x[n] *= std::polar(1.0, std::fmod(w * double(n), 2 * kPi) + o.phase);
    addtones(o, x);
    const double scale = o.level * 32767 / std::sqrt(meanpower(x));
    Capture c;
    c.iq.resize(2 * kSamples);
    for (std::size_t n = 0; n < kSamples; ++n) {
        c.iq[2 * n] = x[n].real() * scale;
        c.iq[2 * n + 1] = x[n].imag() * scale;
    }
    c.paprdb = papr(x);
    return c;
}

}  // namespace independentvsb
