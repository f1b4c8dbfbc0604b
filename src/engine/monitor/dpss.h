// Discrete prolate spheroidal (Slepian) tapers for the multitaper spectrum.
#pragma once

#include <cstddef>
#include <vector>

namespace monitor {

// The first `count` tapers of length n with time-bandwidth product nw, each of unit energy.
std::vector<std::vector<double>> dpss(std::size_t n, double nw, std::size_t count);

}  // namespace monitor
