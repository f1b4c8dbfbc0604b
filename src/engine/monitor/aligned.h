// Buffers aligned for FFTW's SIMD code, so every plan can run on every buffer.
#pragma once

#include <fftw3.h>

#include <complex>
#include <cstddef>
#include <new>
#include <vector>

namespace monitor {

template <typename T>
struct FftwAllocator {
    using value_type = T;
    FftwAllocator() = default;
    template <typename U>
    FftwAllocator(const FftwAllocator<U>&) {}
    T* allocate(std::size_t n) {
        void* p = fftw_malloc(n * sizeof(T));
        if (!p) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t) { fftw_free(p); }
    template <typename U>
    bool operator==(const FftwAllocator<U>&) const {
        return true;
    }
};

using CBuffer = std::vector<std::complex<double>, FftwAllocator<std::complex<double>>>;

}  // namespace monitor
