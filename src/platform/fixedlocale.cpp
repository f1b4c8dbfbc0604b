#include "platform/fixedlocale.h"

namespace platform {

locale_t fixedlocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return c;
}

void keepfixednumbersandtexts() {
    setlocale(LC_NUMERIC, "C");
    setlocale(LC_MESSAGES, "C");
}

}  // namespace platform
