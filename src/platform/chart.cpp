#include "platform/chart.h"

#include <algorithm>

namespace platform {

void Chart::attach(Series& s) {
    if (!attached(s)) series_.push_back(&s);
}

void Chart::detach(Series& s) {
    series_.erase(std::remove(series_.begin(), series_.end(), &s), series_.end());
}

bool Chart::attached(const Series& s) const {
    return std::find(series_.begin(), series_.end(), &s) != series_.end();
}

void Chart::repaint() {
    ++repaints_;
    notify();
}

}  // namespace platform
