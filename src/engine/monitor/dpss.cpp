#include "dpss.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace monitor {

namespace {

// The tapers are the eigenvectors, for the largest eigenvalues, of a symmetric tridiagonal
// matrix (diagonal d, off-diagonal e[i] between rows i-1 and i), which commutes with the
// concentration problem. Eigenvalues by bisection, vectors by inverse iteration.
struct Tridiagonal {
    std::vector<double> d, e;

    // Number of eigenvalues below x (Sturm sequence).
    std::size_t countbelow(double x) const {
        std::size_t count = 0;
        double q = 1;
        for (std::size_t i = 0; i < d.size(); ++i) {
            const double off = i == 0 ? 0.0 : e[i] * e[i] / q;
            q = d[i] - x - off;
            if (q == 0) q = 1e-300;
            if (q < 0) ++count;
        }
        return count;
    }

    // The eigenvalue with `index` eigenvalues below it.
    double eigenvalue(std::size_t index, double lo, double hi) const {
        for (int it = 0; it < 200 && hi - lo > 1e-13 * std::max(1.0, std::abs(hi)); ++it) {
            const double mid = 0.5 * (lo + hi);
            (countbelow(mid) > index ? hi : lo) = mid;
        }
        return 0.5 * (lo + hi);
    }

    // Solves (T - shift I) x = b by Gaussian elimination with partial pivoting.
    std::vector<double> solve(double shift, std::vector<double> b) const;
};

std::vector<double> Tridiagonal::solve(double shift, std::vector<double> b) const {
    const std::size_t n = d.size();
    // Rows hold up to three non-zeros after pivoting: a (diagonal), c (first super), f (second).
    std::vector<double> a(n), c(n, 0.0), f(n, 0.0), sub(n, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        a[i] = d[i] - shift;
        if (i + 1 < n) c[i] = e[i + 1], sub[i + 1] = e[i + 1];
    }
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (std::abs(sub[i + 1]) > std::abs(a[i])) {  // swap rows i and i+1
            std::swap(a[i], sub[i + 1]);
            std::swap(c[i], a[i + 1]);
            std::swap(f[i], c[i + 1]);
            std::swap(b[i], b[i + 1]);
        }
        if (a[i] == 0) a[i] = 1e-300;
        const double m = sub[i + 1] / a[i];
        a[i + 1] -= m * c[i];
        c[i + 1] -= m * f[i];
        b[i + 1] -= m * b[i];
    }
    if (a[n - 1] == 0) a[n - 1] = 1e-300;
    for (std::size_t k = n; k-- > 0;) {
        double s = b[k];
        if (k + 1 < n) s -= c[k] * b[k + 1];
        if (k + 2 < n) s -= f[k] * b[k + 2];
        b[k] = s / a[k];
    }
    return b;
}

void normalise(std::vector<double>& v) {
    double s = 0;
    for (double x : v) s += x * x;
    s = 1 / std::sqrt(s);
    for (double& x : v) x *= s;
}

}  // namespace

std::vector<std::vector<double>> dpss(std::size_t n, double nw, std::size_t count) {
    Tridiagonal t;
    t.d.resize(n);
    t.e.assign(n, 0.0);
    const double c = std::cos(2 * std::numbers::pi * nw / double(n));
    double bound = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double h = (double(n) - 1 - 2 * double(i)) / 2;
        t.d[i] = h * h * c;
        if (i > 0) t.e[i] = double(i) * double(n - i) / 2;
        bound = std::max(bound, std::abs(t.d[i]) + 2 * t.e[i] + double(n) * double(n));
    }
    std::vector<std::vector<double>> tapers;
    for (std::size_t k = 0; k < count; ++k) {
        const double lambda = t.eigenvalue(n - 1 - k, -bound, bound);
        // Shifted slightly off the eigenvalue so the system stays solvable.
        const double shift = lambda + 1e-10 * std::max(1.0, std::abs(lambda));
        // Taper k is symmetric for even k, antisymmetric for odd k: start with that parity
        // and keep it, so the solve cannot drift towards a neighbour of the other parity.
        const double parity = k % 2 == 0 ? 1.0 : -1.0;
        std::vector<double> v(n);
        for (std::size_t i = 0; i < n; ++i) {
            const double x = (double(i) - double(n - 1) / 2) / double(n);
            v[i] = k % 2 == 0 ? 1.0 - x * x : x;
        }
        for (int it = 0; it < 4; ++it) {
            v = t.solve(shift, v);
            for (std::size_t i = 0; i < n / 2; ++i) {
                const double a = 0.5 * (v[i] + parity * v[n - 1 - i]);
                v[i] = a;
                v[n - 1 - i] = parity * a;
            }
            normalise(v);
        }
        double sum = 0, slope = 0;  // conventional signs: positive sum, or positive slope
        for (std::size_t i = 0; i < n; ++i) {
            sum += v[i];
            slope += v[i] * (double(i) - double(n - 1) / 2);
        }
        if ((k % 2 == 0 ? sum : slope) < 0)
            for (double& x : v) x = -x;
        tapers.push_back(std::move(v));
    }
    return tapers;
}

}  // namespace monitor
