// Fuzz target: whatever config.ini holds, the program reads it without crashing, ends up with
// settings in range, and the configuration dialog's OK, with one switch changed, writes that
// switch and leaves every other setting as it was.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/component.h"
#include "platform/testkit/headless.h"
#include "services/formconfig.h"
#include "services/loadconfig.h"
#include "services/settings.h"

namespace {

std::string& exefolder() {
    static std::string f;
    return f;
}

void fail(const char* what) {
    std::fprintf(stderr, "settings invariant broken: %s\n", what);
    std::abort();
}

struct Loaded {
    bool enabled, savecomm;
    std::int32_t cycle;
    std::uint8_t cycletype;
    std::string path, ip;
    bool operator==(const Loaded&) const = default;
};

Loaded load(Settings& s) {
    platform::IpEdit edit("ipedt_dest");
    ::loadconfig(exefolder(), exefolder(), edit, s);
    const imd_auto_save& a = s.autosavecfg;
    if (a.path.size() > 2047) fail("path longer than a value is read");
    if (edit.address() != s.defaultip) fail("default address differs from the edit");
    return {a.enabled, s.savecomm, a.cycle, a.cycletype, a.path, s.defaultip};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("korvin-fuzz-configini-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    exefolder() = dir.string() + "/";
    std::atexit([] { std::filesystem::remove_all(exefolder()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static platform::HeadlessBackend backend;
    backend.desk.exefolder_ = exefolder();
    const std::string name = exefolder() + "config.ini";
    std::ofstream(name, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    Settings settings;
    const Loaded before = load(settings);

    // The operator flips the traffic-log switch and presses OK.
    int folderchanges = 0;
    Tform_config dialog(settings, [&folderchanges](bool) { ++folderchanges; });
    dialog.ckbox_save_comm.setchecked(!before.savecomm);
    dialog.btmbtn_1.click();
    if (!dialog.closed()) fail("OK on a readable settings file did not close the dialog");
    if (folderchanges != 0) fail("auto-save folder announced without a change");
    backend.processevents();

    Loaded expected = before;
    expected.savecomm = !before.savecomm;
    Settings reread;
    if (!(load(reread) == expected)) fail("OK changed more than the traffic-log switch");
    return 0;
}
