#include "services/loadconfig.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/inifile.h"

namespace {

// A settings file larger than this is not ours; reading it would only cost memory and time.
constexpr off_t kMaxConfigSize = 1 << 20;

enum class Create { Created, Exists, Failed };

// Exclusive creation, so an existing file is never truncated, whatever stat() would have said.
Create createempty(const std::string& name) {
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
        ::close(fd);
        return Create::Created;
    }
    return errno == EEXIST ? Create::Exists : Create::Failed;
}

void setdefaults(const std::string& savefolder, Settings& s) {
    s.autosavecfg.enabled = false;
    s.autosavecfg.cycle = 0;
    s.autosavecfg.cycletype = 0;
    s.autosavecfg.path = savefolder;
    s.defaultip = kDefaultExciterIp;
    s.savecomm = false;
}

void writedefaults(platform::IniFile& ini, const std::string& savefolder) {
    // Stop at the first failure: the in-memory defaults stand either way.
    ini.writebool("AUTO_SAVE", "Switch", false) && ini.writeinteger("AUTO_SAVE", "Cycle", 0) &&
        ini.writeinteger("AUTO_SAVE", "Type", 0) &&
        ini.writestring("AUTO_SAVE", "Path", savefolder) &&
        ini.writestring("CONFIG", "Default IP", kDefaultExciterIp) &&
        ini.writebool("SAVE_COMM", "Switch", false);
}

bool readable(const std::string& name) {
    struct stat st {};
    return ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxConfigSize;
}

void readsettings(const std::string& name, const std::string& savefolder,
                  platform::IpEdit& ipedt_dest, Settings& s) {
    // An unusable file reads like an empty one: every key takes its default.
    const platform::IniFile ini(readable(name) ? name : std::string());
    s.autosavecfg.enabled = ini.readbool("AUTO_SAVE", "Switch", false);
    s.autosavecfg.cycle = static_cast<std::int32_t>(ini.readinteger("AUTO_SAVE", "Cycle", 0));
    s.autosavecfg.cycletype = static_cast<std::uint8_t>(ini.readinteger("AUTO_SAVE", "Type", 0));
    s.autosavecfg.path = ini.readstring("AUTO_SAVE", "Path", savefolder);
    ipedt_dest.setaddress(ini.readstring("CONFIG", "Default IP", kDefaultExciterIp));
    s.defaultip = ipedt_dest.address();
    s.savecomm = ini.readbool("SAVE_COMM", "Switch", false);
}

}  // namespace

void loadconfig(const std::string& configfolder, const std::string& savefolder,
                platform::IpEdit& ipedt_dest, Settings& settings) {
    const std::string name = configfolder + "config.ini";
    switch (createempty(name)) {
        case Create::Created: {
            setdefaults(savefolder, settings);
            platform::IniFile ini(name);
            writedefaults(ini, savefolder);
            break;
        }
        case Create::Failed:
            setdefaults(savefolder, settings);
            break;
        case Create::Exists:
            readsettings(name, savefolder, ipedt_dest, settings);
            break;
    }
}
