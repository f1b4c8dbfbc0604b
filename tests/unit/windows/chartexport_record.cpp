#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/chartexport.h"
#include "windowfixture.h"

namespace korvin::test {
std::vector<ExportCall>& exportcalls() {
    static std::vector<ExportCall> calls;
    return calls;
}

// Stands in for the desktop's chart encoder: records the call and writes a small file, so a
// path that cannot be written fails with the system's reason.
bool recordexport(const platform::Chart& chart, const std::string& file, std::string& error) {
    korvin::test::exportcalls().push_back({&chart, file});
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) {
        error = std::strerror(errno);
        return false;
    }
    std::fputs("jpeg", f);
    std::fclose(f);
    return true;
}

}  // namespace korvin::test
