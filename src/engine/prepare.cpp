#include "engine/prepare.h"

#include <dlfcn.h>

namespace engine {

bool prepare() {
    using Prepare = void (*)();
    // The engine is loaded with the program, so its exports are in the global scope.
    auto* fn = reinterpret_cast<Prepare>(::dlsym(RTLD_DEFAULT, "monitorprepare"));
    if (!fn) return false;
    fn();
    return true;
}

}  // namespace engine
