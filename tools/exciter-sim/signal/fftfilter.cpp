#include "fftfilter.h"

#include <fftw3.h>

#include <algorithm>
#include <mutex>
#include <stdexcept>
#include <utility>

namespace vsb::detail {

namespace {
std::mutex& planner_mutex() {
    static std::mutex m;
    return m;
}
fftw_complex* raw(cplx* p) {
    return reinterpret_cast<fftw_complex*>(p);
}
}  // namespace

void* make_plan(std::size_t n, cplx* in, cplx* out, bool forward) {
    std::lock_guard lock(planner_mutex());
    return fftw_plan_dft_1d(static_cast<int>(n), raw(in), raw(out),
                            forward ? FFTW_FORWARD : FFTW_BACKWARD, FFTW_ESTIMATE);
}

void destroy_plan(void* plan) {
    std::lock_guard lock(planner_mutex());
    fftw_destroy_plan(static_cast<fftw_plan>(plan));
}

void execute_plan(void* plan, cplx* in, cplx* out) {
    fftw_execute_dft(static_cast<fftw_plan>(plan), raw(in), raw(out));
}

StreamFilter::StreamFilter(const std::vector<cplx>& taps, std::size_t fft_size, Source source)
    : fft_size_(fft_size),
      taps_(taps.size()),
      hop_(fft_size - taps.size() + 1),
      source_(std::move(source)) {
    if (taps.empty() || taps.size() >= fft_size) throw std::invalid_argument("filter length");
    time_ = static_cast<cplx*>(fftw_malloc(sizeof(cplx) * fft_size));
    freq_ = static_cast<cplx*>(fftw_malloc(sizeof(cplx) * fft_size));
    forward_ = make_plan(fft_size, time_, freq_, true);
    inverse_ = make_plan(fft_size, freq_, time_, false);
    std::fill(time_, time_ + fft_size, cplx{});
    std::copy(taps.begin(), taps.end(), time_);
    execute_plan(forward_, time_, freq_);
    response_.assign(freq_, freq_ + fft_size);
    for (auto& r : response_) r /= static_cast<double>(fft_size);
    history_.assign(taps_ - 1, cplx{});
}

StreamFilter::~StreamFilter() {
    destroy_plan(forward_);
    destroy_plan(inverse_);
    fftw_free(time_);
    fftw_free(freq_);
}

void StreamFilter::run_block() {
    std::copy(history_.begin(), history_.end(), time_);
    source_(time_ + (taps_ - 1), hop_);
    // The newest taps-1 inputs are the next block's history.
    std::copy(time_ + hop_, time_ + fft_size_, history_.begin());
    execute_plan(forward_, time_, freq_);
    for (std::size_t k = 0; k < fft_size_; ++k) freq_[k] *= response_[k];
    execute_plan(inverse_, freq_, time_);
    pending_.assign(time_ + taps_ - 1, time_ + fft_size_);
    pending_pos_ = 0;
}

void StreamFilter::pull(cplx* out, std::size_t n) {
    while (n > 0) {
        if (pending_pos_ == pending_.size()) run_block();
        const std::size_t take = std::min(n, pending_.size() - pending_pos_);
        std::copy_n(pending_.begin() + static_cast<std::ptrdiff_t>(pending_pos_), take, out);
        pending_pos_ += take;
        out += take;
        n -= take;
    }
}

}  // namespace vsb::detail
