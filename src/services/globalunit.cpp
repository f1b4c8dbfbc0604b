#include "services/globalunit.h"

#include <mutex>
#include <utility>

imd_auto_save autosavecfg;
std::string defaultip;
bool savecomm = false;

namespace {
std::mutex& pathmutex() {
    static std::mutex m;
    return m;
}
}  // namespace

void setautosavepath(std::string path) {
    std::lock_guard<std::mutex> lock(pathmutex());
    autosavecfg.path = std::move(path);
}

std::string autosavepath() {
    std::lock_guard<std::mutex> lock(pathmutex());
    return autosavecfg.path;
}
