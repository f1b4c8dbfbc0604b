#include "daemon/monitorfile.h"

// ANSI text as it stands: no character-set conversion.
#define SI_NO_CONVERSION
#include <SimpleIni.h>
#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "platform/inifile.h"

namespace watch {

namespace {

constexpr std::size_t kMaxFileBytes = 1 << 20;

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// A comment after a value (';' or '#' after a blank), as the monitor file's example writes them.
std::string withoutcomment(const std::string& v) {
    for (std::size_t i = 0; i < v.size(); ++i) {
        if ((v[i] == ';' || v[i] == '#') && (i == 0 || v[i - 1] == ' ' || v[i - 1] == '\t'))
            return trim(v.substr(0, i));
    }
    return v;
}

// Where each section and key stands in the text, for error lines; SimpleIni reads the values.
struct Layout {
    std::map<std::string, int> sections;                      // lower-case name -> line
    std::map<std::pair<std::string, std::string>, int> keys;  // (section, key) -> line
    std::vector<std::string> order;                           // sections as they come
    std::map<std::string, std::string> spelled;               // lower-case name -> as written
};

class Parser {
  public:
    Parser(const std::string& name, MonitorConfig& config, std::string& error)
        : name_(name), config_(config), error_(error) {}

    bool run(const std::string& text) {
        if (!scan(text)) return false;
        CSimpleIniA ini;
        ini.SetUnicode(false);
        ini.SetMultiKey(false);
        if (ini.LoadData(text.data(), text.size()) < 0) return fail(0, "cannot be read");
        config_ = MonitorConfig{};
        for (const std::string& section : layout_.order) {
            if (!readsection(ini, section)) return false;
        }
        if (config_.exciters.empty()) return fail(0, "names no exciter ([exciter NAME] section)");
        for (const ExciterConfig& e : config_.exciters) {
            if (e.history && config_.historyfolder.empty())
                return fail(lineof(lower("exciter " + e.name), "history"),
                            "'history' needs the folder in [monitor] history");
        }
        return true;
    }

  private:
    bool fail(int line, const std::string& what) {
        // Appended piece by piece: GCC 12's -Wrestrict misreads ":" + std::to_string() in
        // Release builds.
        error_ = name_;
        if (line > 0) error_.append(":").append(std::to_string(line));
        error_.append(": ").append(what);
        return false;
    }

    // Every line is blank, a comment, a section or key = value; no section or key twice.
    bool scan(const std::string& text) {
        std::istringstream in(text);
        std::string raw, section;
        for (int n = 1; std::getline(in, raw); ++n) {
            const std::string line = trim(raw);
            if (line.empty() || line[0] == ';' || line[0] == '#') continue;
            if (line.front() == '[') {
                if (line.back() != ']') return fail(n, "a section line ends with ']'");
                const std::string written = trim(line.substr(1, line.size() - 2));
                section = lower(written);
                layout_.spelled[section] = written;
                if (!layout_.sections.emplace(section, n).second)
                    return fail(n, "[" + section + "] comes twice");
                layout_.order.push_back(section);
                continue;
            }
            const auto eq = line.find('=');
            if (eq == std::string::npos) return fail(n, "expected key = value");
            if (section.empty()) return fail(n, "a key before any section");
            const std::string key = lower(trim(line.substr(0, eq)));
            if (!layout_.keys.emplace(std::make_pair(section, key), n).second)
                return fail(n, "'" + key + "' comes twice in [" + section + "]");
        }
        return true;
    }

    int lineof(const std::string& section, const std::string& key) const {
        const auto k = layout_.keys.find({section, key});
        if (k != layout_.keys.end()) return k->second;
        const auto s = layout_.sections.find(section);
        return s != layout_.sections.end() ? s->second : 0;
    }

    bool readsection(const CSimpleIniA& ini, const std::string& section) {
        if (section == "monitor") return readmonitor(ini, section);
        if (section == "exciter" || section.rfind("exciter ", 0) == 0)
            return readexciter(ini, section);
        return fail(lineof(section, ""), "unknown section [" + section + "]");
    }

    // The keys of a section must all be known ones.
    bool onlykeys(const std::string& section, std::initializer_list<const char*> known) {
        for (const auto& [where, line] : layout_.keys) {
            if (where.first != section) continue;
            if (std::none_of(known.begin(), known.end(),
                             [&](const char* k) { return where.second == k; }))
                return fail(line, "unknown key '" + where.second + "' in [" + section + "]");
        }
        return true;
    }

    std::optional<std::string> value(const CSimpleIniA& ini, const std::string& section,
                                     const std::string& key) const {
        // SimpleIni keeps the section's spelling: find it without regard to case.
        CSimpleIniA::TNamesDepend sections;
        ini.GetAllSections(sections);
        for (const auto& s : sections) {
            if (lower(trim(s.pItem)) != section) continue;
            CSimpleIniA::TNamesDepend keys;
            ini.GetAllKeys(s.pItem, keys);
            for (const auto& k : keys)
                if (lower(trim(k.pItem)) == key)
                    return withoutcomment(trim(ini.GetValue(s.pItem, k.pItem, "")));
        }
        return std::nullopt;
    }

    bool number(const CSimpleIniA& ini, const std::string& section, const std::string& key,
                long low, long high, int& out) {
        const auto v = value(ini, section, key);
        if (!v) return true;
        const auto n = platform::IniFile::parseinteger(*v);
        if (!n || *n < low || *n > high)
            return fail(lineof(section, key), "'" + key + "' must be a whole number from " +
                                                  std::to_string(low) + " to " +
                                                  std::to_string(high));
        out = static_cast<int>(*n);
        return true;
    }

    bool address(const CSimpleIniA& ini, const std::string& section, const std::string& key,
                 std::string& out, bool required) {
        const auto v = value(ini, section, key);
        if (!v)
            return !required || fail(lineof(section, ""), "[" + section + "] needs '" + key + "'");
        in_addr a{};
        if (::inet_pton(AF_INET, v->c_str(), &a) != 1)
            return fail(lineof(section, key), "'" + key + "' must be an IPv4 address");
        out = *v;
        return true;
    }

    bool readmonitor(const CSimpleIniA& ini, const std::string& s) {
        if (!onlykeys(s, {"listen", "port", "history", "recordings", "recordings_mb",
                          "mer_threshold", "keep_every"}))
            return false;
        if (!address(ini, s, "listen", config_.listen, false)) return false;
        if (!number(ini, s, "port", 0, 65535, config_.port)) return false;
        config_.historyfolder = value(ini, s, "history").value_or("");
        config_.recordingsfolder = value(ini, s, "recordings").value_or("");
        return number(ini, s, "recordings_mb", 1, 1 << 20, config_.recordingsmb) &&
               number(ini, s, "mer_threshold", 0, 60, config_.merthreshold) &&
               number(ini, s, "keep_every", 0, 1 << 20, config_.keepevery);
    }

    bool readexciter(const CSimpleIniA& ini, const std::string& s) {
        ExciterConfig e;
        e.name = trim(layout_.spelled[s].substr(7));
        const bool plain =
            !e.name.empty() && std::all_of(e.name.begin(), e.name.end(), [](unsigned char c) {
                return std::isalnum(c) || c == '-' || c == '_' || c == '.';
            });
        if (!plain)
            return fail(lineof(s, ""), "an exciter's name is letters, digits, '-', '_' or '.'");
        if (!onlykeys(s, {"address", "port", "status", "capture", "history"})) return false;
        if (!address(ini, s, "address", e.address, true)) return false;
        if (!number(ini, s, "port", 1, 65535, e.port)) return false;
        if (!number(ini, s, "status", 1, 86400, e.statusevery)) return false;
        if (!number(ini, s, "capture", 2, 86400, e.captureevery)) return false;
        if (const auto h = value(ini, s, "history")) {
            const std::string v = lower(*h);
            if (v != "yes" && v != "no" && v != "1" && v != "0")
                return fail(lineof(s, "history"), "'history' must be yes or no");
            e.history = v == "yes" || v == "1";
        }
        config_.exciters.push_back(e);
        return true;
    }

    std::string name_;
    MonitorConfig& config_;
    std::string& error_;
    Layout layout_;
};

}  // namespace

bool parsemonitorfile(const std::string& text, const std::string& name, MonitorConfig& config,
                      std::string& error) {
    return Parser(name, config, error).run(text);
}

bool readmonitorfile(const std::string& path, MonitorConfig& config, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be opened";
        return false;
    }
    std::string text(kMaxFileBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxFileBytes) {
        error = path + ": larger than a monitor file can be (1 MB)";
        return false;
    }
    return parsemonitorfile(text, path, config, error);
}

}  // namespace watch
