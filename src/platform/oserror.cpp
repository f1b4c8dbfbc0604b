#include "platform/oserror.h"

#include <string.h>

#include <string>

#include "platform/fixedlocale.h"

namespace platform {

std::string oserrortext(int code) {
    char buf[256];
    // English whatever the desktop's language: a translated "Unknown error N" would also pass
    // for a text. (The GNU strerror_r may return a static string instead of filling buf.)
    const locale_t c = fixedlocale();
    const char* text = c ? strerror_l(code, c) : strerror_r(code, buf, sizeof buf);
    std::string s = text ? text : "";
    if (s.rfind("Unknown error", 0) == 0) return {};
    return s;
}

}  // namespace platform
