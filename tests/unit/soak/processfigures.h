// What a long run may leak: heap bytes in use, open file descriptors and threads of this process.
#pragma once

#include <malloc.h>

#include <cstddef>
#include <filesystem>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KORVIN_SANITIZER_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KORVIN_SANITIZER_HEAP 1
#endif
#endif

#ifdef KORVIN_SANITIZER_HEAP
// From the sanitizer runtime (declared in <sanitizer/allocator_interface.h>, which GCC does not
// install).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace korvin::test {

struct ProcessFigures {
    long long heap = 0;  // bytes in use
    int fds = 0;
    int threads = 0;
};

// Entries of a /proc folder; the directory handle the count itself opens is left out.
inline int procentries(const char* folder) {
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++n;
    return n;
}

inline long long heapinuse() {
#ifdef KORVIN_SANITIZER_HEAP
    // The sanitizer's allocator replaces malloc, so mallinfo2() would not see its blocks.
    return static_cast<long long>(__sanitizer_get_current_allocated_bytes());
#else
    return static_cast<long long>(mallinfo2().uordblks);
#endif
}

inline ProcessFigures processfigures() {
    ProcessFigures f;
    f.fds = procentries("/proc/self/fd") - 1;
    f.threads = procentries("/proc/self/task");
    f.heap = heapinuse();  // last: the counts above allocate and free
    return f;
}

}  // namespace korvin::test
