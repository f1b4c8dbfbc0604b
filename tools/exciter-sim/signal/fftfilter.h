// Streaming FIR filter by overlap-save: long filters (tens of thousands of taps) at FFT cost,
// keeping its history so consecutive calls filter one continuous signal.
#pragma once

#include <complex>
#include <cstddef>
#include <functional>
#include <vector>

namespace vsb::detail {

using cplx = std::complex<double>;

// Creating and destroying FFTW plans is not thread-safe; every plan in this library goes
// through these.
void* make_plan(std::size_t n, cplx* in, cplx* out, bool forward);
void destroy_plan(void* plan);
void execute_plan(void* plan, cplx* in, cplx* out);

// Writes the next n samples of a stream to dst.
using Source = std::function<void(cplx* dst, std::size_t n)>;

// A filter stage that pulls its input from an upstream source, one block at a time.
class StreamFilter {
  public:
    // taps.size() must be below fft_size. The output is causal: y[n] = sum h[m] x[n-m].
    StreamFilter(const std::vector<cplx>& taps, std::size_t fft_size, Source source);
    ~StreamFilter();
    StreamFilter(const StreamFilter&) = delete;
    StreamFilter& operator=(const StreamFilter&) = delete;

    // Writes the next n filtered samples.
    void pull(cplx* out, std::size_t n);

  private:
    void run_block();

    std::size_t fft_size_;
    std::size_t taps_;
    std::size_t hop_;
    std::vector<cplx> response_;  // filter spectrum, scaled by 1/fft_size
    cplx* time_;                  // fftw-aligned work buffers
    cplx* freq_;
    void* forward_;
    void* inverse_;
    Source source_;
    std::vector<cplx> history_;  // the last taps-1 inputs
    std::vector<cplx> pending_;  // filtered outputs not yet handed out
    std::size_t pending_pos_ = 0;
};

}  // namespace vsb::detail
