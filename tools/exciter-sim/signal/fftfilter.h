// Streaming FIR filter by overlap-save: long filters (tens of thousands of taps) at FFT cost,
// keeping its history so consecutive calls filter one continuous signal.
#pragma once

#include <complex>
#include <cstddef>
#include <functional>
#include <vector>

namespace vsb::detail {

using Complex = std::complex<double>;

// Creating and destroying FFTW plans is not thread-safe; every plan in this library goes
// through these.
void* makeplan(std::size_t n, Complex* in, Complex* out, bool forward);
void destroyplan(void* plan);
void executeplan(void* plan, Complex* in, Complex* out);

// Writes the next n samples of a stream to dst.
using Source = std::function<void(Complex* dst, std::size_t n)>;

// A filter stage that pulls its input from an upstream source, one block at a time.
class StreamFilter {
  public:
    // taps.size() must be below fftsize. The output is causal: y[n] = sum h[m] x[n-m].
    StreamFilter(const std::vector<Complex>& taps, std::size_t fftsize, Source source);
    ~StreamFilter();
    StreamFilter(const StreamFilter&) = delete;
    StreamFilter& operator=(const StreamFilter&) = delete;

    // Writes the next n filtered samples.
    void pull(Complex* out, std::size_t n);

  private:
    void runblock();

    std::size_t fftsize_;
    std::size_t taps_;
    std::size_t hop_;
    std::vector<Complex> response_;  // filter spectrum, scaled by 1/fftsize
    Complex* time_;                  // fftw-aligned work buffers
    Complex* freq_;
    void* forward_;
    void* inverse_;
    Source source_;
    std::vector<Complex> history_;  // the last taps-1 inputs
    std::vector<Complex> pending_;  // filtered outputs not yet handed out
    std::size_t pendingpos_ = 0;
};

}  // namespace vsb::detail
