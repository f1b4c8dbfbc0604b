// INI access with the semantics of the classic profile functions: case-insensitive section and
// key names, "key=value" lines, a key updated in place, file and section created when missing.
// Every call reads or writes the file afresh.
#pragma once

#include <optional>
#include <string>

#include "platform/filereplace.h"

namespace platform {

class IniFile {
  public:
    explicit IniFile(std::string path, FileCalls& calls = systemfilecalls())
        : path_(std::move(path)), calls_(&calls) {}
    const std::string& path() const { return path_; }

    // Values are read up to 2047 characters.
    std::string readstring(const std::string& section, const std::string& key,
                           const std::string& def) const;
    // Decimal, or hexadecimal with a "0x" or "$" prefix; anything else reads as def.
    long readinteger(const std::string& section, const std::string& key, long def) const;
    // An integer; any value other than 0 is true.
    bool readbool(const std::string& section, const std::string& key, bool def) const;

    // The whole file is written afresh and replaces the old one only once it is complete: one
    // section line followed by its key=value lines, CR LF line ends, no blank lines; everything
    // else the file holds is kept. False, with the file as it was, when it cannot be read or
    // written, or when a name or value holds a line break (it would make lines of its own).
    bool writestring(const std::string& section, const std::string& key, const std::string& v);
    bool writeinteger(const std::string& section, const std::string& key, long v);
    bool writebool(const std::string& section, const std::string& key, bool v);

    // The integer reading rule on its own.
    static std::optional<long> parseinteger(const std::string& text);

  private:
    std::string path_;
    FileCalls* calls_;
};

}  // namespace platform
