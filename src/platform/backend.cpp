#include "platform/backend.h"

#include <cstdlib>

#include "platform/desktop.h"

namespace platform {

namespace {
Backend* installed = nullptr;
}

Backend& backend() {
    if (!installed) std::abort();  // a backend is installed before any form or timer exists
    return *installed;
}

void setbackend(Backend* b) {
    installed = b;
}

Desktop& desktop() {
    return backend().desktop();
}

}  // namespace platform
