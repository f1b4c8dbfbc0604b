#include "platform/inifile.h"

// ANSI text as it stands: no character-set conversion.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace platform {

namespace {

constexpr std::size_t kMaxValue = 2047;

void setup(CSimpleIniA& ini) {
    ini.SetUnicode(false);
    ini.SetMultiKey(false);
    ini.SetMultiLine(false);
    ini.SetSpaces(false);
}

bool load(CSimpleIniA& ini, const std::string& path) {
    setup(ini);
    // Only a regular file is read: a folder of that name would be taken for a huge file.
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && !std::filesystem::is_regular_file(path, ec))
        return false;
    return ini.LoadFile(path.c_str()) >= 0;
}

// Before a write: a missing file starts empty, but one that exists and cannot be read is not
// replaced, or the keys it holds would be lost.
bool loadforwrite(CSimpleIniA& ini, const std::string& path) {
    setup(ini);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errno == ENOENT;
    return S_ISREG(st.st_mode) && ini.LoadFile(path.c_str()) >= 0;
}

// The library's text with CR LF line ends and without its blank lines between sections.
std::string profiletext(const std::string& text) {
    std::string out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        if (text.find_first_not_of(" \t", start) < end)
            out.append(text, start, end - start).append("\r\n");
        start = end + 1;
    }
    return out;
}

bool haslinebreak(const std::string& s) {
    return s.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

std::optional<long> IniFile::parseinteger(const std::string& text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    int base = 10;
    if (text.compare(i, 2, "0x") == 0 || text.compare(i, 2, "0X") == 0) {
        base = 16;
        i += 2;
    } else if (i < text.size() && text[i] == '$') {
        base = 16;
        i += 1;
    }
    if (i >= text.size()) return std::nullopt;
    for (std::size_t k = i; k < text.size(); ++k) {
        const char c = text[k];
        const bool ok = base == 10 ? (c >= '0' && c <= '9') : std::isxdigit(c) != 0;
        if (!ok) return std::nullopt;
    }
    errno = 0;
    const long long v = std::strtoll(text.c_str() + i, nullptr, base);
    if (errno == ERANGE) return std::nullopt;
    const long long s = negative ? -v : v;
    // Hexadecimal texts wrap into 32 bits like the classic reader; decimal ones must fit.
    if (base == 16 && v <= 0xFFFFFFFFLL) return static_cast<long>(static_cast<std::int32_t>(s));
    if (s < INT32_MIN || s > INT32_MAX) return std::nullopt;
    return static_cast<long>(s);
}

std::string IniFile::readstring(const std::string& section, const std::string& key,
                                const std::string& def) const {
    CSimpleIniA ini;
    if (!load(ini, path_)) return def.substr(0, kMaxValue);
    const char* v = ini.GetValue(section.c_str(), key.c_str(), nullptr);
    std::string s = v ? v : def;
    if (s.size() > kMaxValue) s.resize(kMaxValue);
    return s;
}

long IniFile::readinteger(const std::string& section, const std::string& key, long def) const {
    CSimpleIniA ini;
    if (!load(ini, path_)) return def;
    const char* v = ini.GetValue(section.c_str(), key.c_str(), nullptr);
    if (!v) return def;
    return parseinteger(v).value_or(def);
}

bool IniFile::readbool(const std::string& section, const std::string& key, bool def) const {
    return readinteger(section, key, def ? 1 : 0) != 0;
}

bool IniFile::writestring(const std::string& section, const std::string& key,
                          const std::string& v) {
    if (haslinebreak(section) || haslinebreak(key) || haslinebreak(v)) return false;
    CSimpleIniA ini;
    if (!loadforwrite(ini, path_)) return false;
    if (ini.SetValue(section.c_str(), key.c_str(), v.c_str()) < 0) return false;
    std::string text;
    if (ini.Save(text, false) < 0) return false;
    return replacefile(path_, profiletext(text), *calls_);
}

bool IniFile::writeinteger(const std::string& section, const std::string& key, long v) {
    return writestring(section, key, std::to_string(v));
}

bool IniFile::writebool(const std::string& section, const std::string& key, bool v) {
    return writestring(section, key, v ? "1" : "0");
}

}  // namespace platform
