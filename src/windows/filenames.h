// File-name rules of the save actions.
#pragma once

#include <string>

namespace windows {

// The extension of a name: from its last "." after the last "/" or ":", dot included; empty
// when there is none.
std::string extension(const std::string& name);
// The name with its extension replaced by `ext`, or `ext` appended when it has none; a name
// that already ends in exactly `ext` (case-sensitive) comes back unchanged.
std::string forceextension(const std::string& name, const std::string& ext);
// The part of a path after its last "/".
std::string filepart(const std::string& path);

}  // namespace windows
