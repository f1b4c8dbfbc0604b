#include "fftfilter.h"

#include <fftw3.h>

#include <algorithm>
#include <mutex>
#include <stdexcept>
#include <utility>

namespace vsb::detail {

namespace {
std::mutex& plannermutex() {
    static std::mutex m;
    return m;
}
fftw_complex* raw(Complex* p) {
    return reinterpret_cast<fftw_complex*>(p);
}
}  // namespace

void* makeplan(std::size_t n, Complex* in, Complex* out, bool forward) {
    std::lock_guard lock(plannermutex());
    return fftw_plan_dft_1d(static_cast<int>(n), raw(in), raw(out),
                            forward ? FFTW_FORWARD : FFTW_BACKWARD, FFTW_ESTIMATE);
}

void destroyplan(void* plan) {
    std::lock_guard lock(plannermutex());
    fftw_destroy_plan(static_cast<fftw_plan>(plan));
}

void executeplan(void* plan, Complex* in, Complex* out) {
    fftw_execute_dft(static_cast<fftw_plan>(plan), raw(in), raw(out));
}

StreamFilter::StreamFilter(const std::vector<Complex>& taps, std::size_t fftsize, Source source)
    : fftsize_(fftsize),
      taps_(taps.size()),
      hop_(fftsize - taps.size() + 1),
      source_(std::move(source)) {
    if (taps.empty() || taps.size() >= fftsize) throw std::invalid_argument("filter length");
    time_ = static_cast<Complex*>(fftw_malloc(sizeof(Complex) * fftsize));
    freq_ = static_cast<Complex*>(fftw_malloc(sizeof(Complex) * fftsize));
    forward_ = makeplan(fftsize, time_, freq_, true);
    inverse_ = makeplan(fftsize, freq_, time_, false);
    std::fill(time_, time_ + fftsize, Complex{});
    std::copy(taps.begin(), taps.end(), time_);
    executeplan(forward_, time_, freq_);
    response_.assign(freq_, freq_ + fftsize);
    for (auto& r : response_) r /= static_cast<double>(fftsize);
    history_.assign(taps_ - 1, Complex{});
}

StreamFilter::~StreamFilter() {
    destroyplan(forward_);
    destroyplan(inverse_);
    fftw_free(time_);
    fftw_free(freq_);
}

void StreamFilter::runblock() {
    std::copy(history_.begin(), history_.end(), time_);
    source_(time_ + (taps_ - 1), hop_);
    // The newest taps-1 inputs are the next block's history.
    std::copy(time_ + hop_, time_ + fftsize_, history_.begin());
    executeplan(forward_, time_, freq_);
    for (std::size_t k = 0; k < fftsize_; ++k) freq_[k] *= response_[k];
    executeplan(inverse_, freq_, time_);
    pending_.assign(time_ + taps_ - 1, time_ + fftsize_);
    pendingpos_ = 0;
}

void StreamFilter::pull(Complex* out, std::size_t n) {
    while (n > 0) {
        if (pendingpos_ == pending_.size()) runblock();
        const std::size_t take = std::min(n, pending_.size() - pendingpos_);
        std::copy_n(pending_.begin() + static_cast<std::ptrdiff_t>(pendingpos_), take, out);
        pendingpos_ += take;
        out += take;
        n -= take;
    }
}

}  // namespace vsb::detail
