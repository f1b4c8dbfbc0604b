#include "windows/filenames.h"

namespace windows {

namespace {
// Where the extension starts, or npos.
std::size_t extensionpos(const std::string& name) {
    const std::size_t sep = name.find_last_of("/:");
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return dot;
    if (sep != std::string::npos && dot < sep) return std::string::npos;
    return dot;
}
}  // namespace

std::string extension(const std::string& name) {
    const std::size_t dot = extensionpos(name);
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string forceextension(const std::string& name, const std::string& ext) {
    const std::size_t dot = extensionpos(name);
    if (dot == std::string::npos) return name + ext;
    if (name.compare(dot, std::string::npos, ext) == 0) return name;
    return name.substr(0, dot) + ext;
}

std::string filepart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace windows
