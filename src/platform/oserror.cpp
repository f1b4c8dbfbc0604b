#include "platform/oserror.h"

#include <cstring>
#include <string>

namespace platform {

std::string oserrortext(int code) {
    char buf[256];
    // The GNU strerror_r may return a static string instead of filling buf.
    const char* text = strerror_r(code, buf, sizeof buf);
    std::string s = text ? text : "";
    if (s.rfind("Unknown error", 0) == 0) return {};
    return s;
}

}  // namespace platform
