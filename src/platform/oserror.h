#pragma once

#include <string>

namespace platform {

// The operating system's text for an errno value; empty when it has none
// (glibc's "Unknown error N" counts as none).
std::string oserrortext(int code);

}  // namespace platform
