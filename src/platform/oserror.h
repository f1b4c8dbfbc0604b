#pragma once

#include <string>

namespace platform {

// The operating system's English text for an errno value, whatever the locale; empty when it
// has none (glibc's "Unknown error N" counts as none).
std::string oserrortext(int code);

}  // namespace platform
