#include "fft.h"

#include "vsbmodel.h"

namespace monitor {

namespace {
fftw_complex* raw(const CBuffer& b) {
    return reinterpret_cast<fftw_complex*>(const_cast<std::complex<double>*>(b.data()));
}
}  // namespace

Fft::Fft() {
    CBuffer a(kN), b(kN);
    forward_ = fftw_plan_dft_1d(int(kN), raw(a), raw(b), FFTW_FORWARD, FFTW_MEASURE);
    inverse_ = fftw_plan_dft_1d(int(kN), raw(a), raw(b), FFTW_BACKWARD, FFTW_MEASURE);
}

Fft::~Fft() {
    fftw_destroy_plan(forward_);
    fftw_destroy_plan(inverse_);
}

void Fft::forward(const CBuffer& in, CBuffer& out) const {
    fftw_execute_dft(forward_, raw(in), raw(out));
}

void Fft::inverse(const CBuffer& in, CBuffer& out) const {
    fftw_execute_dft(inverse_, raw(in), raw(out));
}

}  // namespace monitor
