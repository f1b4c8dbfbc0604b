// The distribution of a capture's instantaneous power: the fraction of its samples whose power
// lies more than x dB above their mean (x from 0 to 12 dB in 0.1 dB steps), the power that
// 0.1 % of them exceed (the peak-to-average ratio), and the same curve for an ideal 8-VSB
// capture, made once from this receiver's model of the signal.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "aligned.h"
#include "fft.h"
#include "resultlayout.h"

namespace monitor {

class Ccdf {
  public:
    static constexpr std::size_t kPoints = resultlayout::kCcdfPoints;
    using Curve = std::array<double, kPoints>;

    explicit Ccdf(const Fft& fft);

    // The curve of x's samples into curve(); returns their peak-to-average ratio, dB.
    double measure(const CBuffer& x);
    const Curve& curve() const { return curve_; }
    const Curve& ideal() const { return ideal_; }

  private:
    // Cells of power over the mean, each narrower than the thresholds' smallest step (2.3 %),
    // so a power lies above the thresholds below its cell's lower end and at most one more.
    static constexpr std::size_t kCellsPerUnit = 64;
    static constexpr std::size_t kCells = 16 * kCellsPerUnit;  // up to 16, above the last (15.85)
    // The ratio is the 9th largest power: 8 samples of 8192 (0.098 %) lie above it, the count
    // nearest 0.1 % (8.2) that whole samples reach.
    static constexpr std::size_t kPeaks = 9;

    // How many thresholds lie below p (0 .. kPoints), p >= 0.
    std::size_t below(double p) const {
        const auto cell = std::min(static_cast<std::size_t>(p * double(kCellsPerUnit)), kCells - 1);
        const std::size_t n = firstbelow_[cell];
        return n + (thresholds_[n] < p ? 1 : 0);
    }
    void makeideal(const Fft& fft);

    std::array<double, kPoints + 1> thresholds_{};  // powers over the mean; the last infinite
    Curve curve_{}, ideal_{};
    std::array<std::size_t, kCells> firstbelow_{};  // thresholds below each cell's lower end
    std::array<double, kPeaks> peaks_{};
};

}  // namespace monitor
