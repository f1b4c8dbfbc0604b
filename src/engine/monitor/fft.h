// The capture-length transforms, planned once (FFTW_MEASURE) and run on any aligned buffer.
#pragma once

#include "aligned.h"

namespace monitor {

class Fft {
  public:
    Fft();
    ~Fft();
    Fft(const Fft&) = delete;
    Fft& operator=(const Fft&) = delete;

    // Unnormalised: inverse(forward(x)) = N x. in and out must be different buffers.
    void forward(const CBuffer& in, CBuffer& out) const;
    void inverse(const CBuffer& in, CBuffer& out) const;

  private:
    fftw_plan forward_;
    fftw_plan inverse_;
};

}  // namespace monitor
