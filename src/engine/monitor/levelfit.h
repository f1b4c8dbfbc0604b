// Gain, offset and noise of the equalised in-phase values, fitted as a mixture of eight
// Gaussians at g * (+-1, +-3, +-5, +-7) + offset. Unlike hard decisions, the mixture accounts
// for values that noise has pushed past a decision threshold, so neither the gain nor the
// noise (and so the MER) is biased at low signal-to-noise ratios.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace monitor {

struct LevelFit {
    double gain = 1;
    double offset = 0;
    double noise = 1;  // variance of the in-phase error, in units of the fitted levels
};

class LevelFitter {
  public:
    LevelFitter();
    LevelFit fit(const double* values, std::size_t count);

  private:
    double histogram(const double* values, std::size_t count);  // returns a first noise guess
    LevelFit step(const LevelFit& current) const;

    std::vector<double> histogram_;
    std::vector<std::pair<double, double>> occupied_;  // bin centre, count
    double bin_ = 0.02;
};

}  // namespace monitor
