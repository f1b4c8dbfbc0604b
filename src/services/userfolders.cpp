#include "services/userfolders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/backend.h"
#include "platform/desktop.h"

namespace {

// $variable, or $HOME + fallback; the XDG rules ignore a relative path.
std::string xdgfolder(const FolderLookup& lookup, const char* variable, const char* fallback) {
    if (const char* v = lookup.getenv(variable); v && v[0] == '/') return std::string(v) + "/";
    if (const char* home = lookup.getenv("HOME"); home && home[0] == '/')
        return std::string(home) + "/" + fallback + "/";
    return {};
}

std::string ours(const FolderLookup& lookup, const char* variable, const char* fallback) {
    const std::string base = xdgfolder(lookup, variable, fallback);
    if (base.empty()) return lookup.exefolder;
    // Each missing level private, as the XDG rules ask; an existing one is left as it is.
    const std::string folder = base + "korvin/";
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
         slash = folder.find('/', slash + 1))
        ::mkdir(folder.substr(0, slash).c_str(), 0700);
    return folder;
}

}  // namespace

FolderLookup FolderLookup::system() {
    return {[](const char* name) { return std::getenv(name); },
            // Only a folder that refuses writing moves the files; a missing one stays the place,
            // and writing there fails as it always did.
            [](const std::string& folder) {
                return ::access(folder.c_str(), W_OK) == 0 || (errno != EACCES && errno != EROFS);
            },
            platform::desktop().exefolder()};
}

UserFolders userfolders(const FolderLookup& lookup) {
    if (lookup.writable(lookup.exefolder))
        return {lookup.exefolder, lookup.exefolder, lookup.exefolder};
    return {ours(lookup, "XDG_CONFIG_HOME", ".config"),
            ours(lookup, "XDG_STATE_HOME", ".local/state"),
            ours(lookup, "XDG_DATA_HOME", ".local/share")};
}
