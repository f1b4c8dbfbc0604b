#include "services/formconfig.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <utility>

#include "platform/backend.h"
#include "platform/desktop.h"
#include "platform/inifile.h"
#include "services/userfolders.h"

namespace {

constexpr char kSeparator = '/';

// The cycle as the edit holds it, kept within the setting's 32 bits.
std::int32_t cyclevalue(const platform::NumericEdit& e) {
    constexpr long long lo = std::numeric_limits<std::int32_t>::min();
    constexpr long long hi = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(e.roundedvalue(), lo, hi));
}

}  // namespace

Tform_config::Tform_config(Settings& settings, FolderChanged folderchanged,
                           platform::FileCalls& calls)
    : platform::Form("form_config"),
      settings_(settings),
      folderchanged_(std::move(folderchanged)),
      calls_(&calls) {
    layout();
    ckbox_enable.onclick = [this] { ckbox_enableClick(); };
    btn_browse.onclick = [this] { btn_browseClick(); };
    btmbtn_1.onclick = [this] { btn_okClick(); };
    btmbtn_2.onclick = [this] { btn_cancelClick(); };
    onclose = [this](platform::CloseAction& a) { FormClose(a); };
    FormCreate();
}

void Tform_config::layout() {
    setcaption("Config");
    clientwidth = 412;
    clientheight = 272;
    minimizebox = false;
    maximizebox = false;
    group_box.setcaption("Config Settings");
    group_box.setbounds(8, 16, 393, 193);
    ckbox_enable.setcaption("Auto Save IMD and SNR Data");
    ckbox_enable.setbounds(8, 24, 165, 15);
    lbl_1.setcaption("Save Cycle:");
    lbl_1.setbounds(198, 20, 60, 13);
    nedt_cycle.setbounds(237, 16, 71, 21);
    nedt_cycle.displayformat = ",0;(,0)";
    cbb_cycle_type.setbounds(277, 16, 89, 21);
    cbb_cycle_type.items = {"Second", "Minute", "Hour", "Day"};
    lbl_3.setcaption("Auto Save Path:");
    lbl_3.setbounds(8, 59, 80, 13);
    edt_path.setbounds(91, 54, 286, 21);
    edt_path.tabstop = false;
    btn_browse.setcaption("&Browse...");
    btn_browse.setbounds(304, 82, 75, 25);
    ckbox_save_comm.setcaption("Enable Exciter Comunications Log");
    ckbox_save_comm.setbounds(8, 112, 180, 15);
    lbl_2.setcaption("Default IP:");
    lbl_2.setbounds(8, 153, 55, 13);
    ipedt_dest1.setbounds(69, 147, 129, 21);
    ipedt_dest1.bold = true;
    btmbtn_1.setcaption("&OK");
    btmbtn_1.setbounds(200, 226, 75, 25);
    btmbtn_2.setcaption("&Cancel");
    btmbtn_2.setbounds(328, 226, 75, 25);
    // The save cycle is carried through but has no effect, so the operator does not see it.
    lbl_1.setvisible(false);
    nedt_cycle.setvisible(false);
    cbb_cycle_type.setvisible(false);
    const std::initializer_list<platform::Control*> grouped = {
        &ckbox_enable, &lbl_1,      &nedt_cycle,      &cbb_cycle_type, &lbl_3,
        &edt_path,     &btn_browse, &ckbox_save_comm, &lbl_2,          &ipedt_dest1};
    for (platform::Control* c : grouped) c->parent = &group_box;
    add({&group_box, &ckbox_enable, &lbl_1, &nedt_cycle, &cbb_cycle_type, &lbl_3, &edt_path,
         &btn_browse, &ckbox_save_comm, &lbl_2, &ipedt_dest1, &btmbtn_1, &btmbtn_2});
}

void Tform_config::applyenablerule() {
    const bool on = ckbox_enable.checked();
    edt_path.setreadonly(!on);
    btn_browse.setenabled(on);
}

void Tform_config::FormCreate() {
    const imd_auto_save& autosavecfg = settings_.autosavecfg;
    ckbox_enable.setchecked(autosavecfg.enabled);
    applyenablerule();
    ipedt_dest1.setaddress(settings_.defaultip);
    cbb_cycle_type.setitemindex(autosavecfg.cycletype);
    // Exact text: the edit's own number formatting would round large counts.
    nedt_cycle.settext(std::to_string(autosavecfg.cycle));
    edt_path.settext(autosavecfg.path);
    ckbox_save_comm.setchecked(settings_.savecomm);
}

void Tform_config::ckbox_enableClick() {
    applyenablerule();
}

void Tform_config::btn_browseClick() {
    std::string folder = edt_path.text();
    if (!platform::desktop().folderdialog(folder)) return;
    // The folder is used as a plain prefix of file names, so it must end with the separator.
    if (folder.empty() || folder.back() != kSeparator) folder += kSeparator;
    edt_path.settext(folder);
}

bool Tform_config::storechanges() {
    platform::IniFile ini(userfolders().config + "config.ini", *calls_);
    auto written = [&ini](bool ok) {
        if (!ok) platform::desktop().errorbox("Unable to write to " + ini.path());
        return ok;
    };
    // Each value is stored in memory only once it is in the file: after a failed write it still
    // counts as a change, so the next OK writes it again.
    imd_auto_save& autosavecfg = settings_.autosavecfg;
    if (const std::int32_t cycle = cyclevalue(nedt_cycle); cycle != autosavecfg.cycle) {
        if (!written(ini.writeinteger("AUTO_SAVE", "Cycle", cycle))) return false;
        autosavecfg.cycle = cycle;
    }
    if (const int type = cbb_cycle_type.itemindex();
        type != autosavecfg.cycletype && type >= 0 && type <= 3) {
        if (!written(ini.writeinteger("AUTO_SAVE", "Type", type))) return false;
        autosavecfg.cycletype = static_cast<std::uint8_t>(type);
    }
    if (edt_path.text() != autosavecfg.path) {
        if (!written(ini.writestring("AUTO_SAVE", "Path", edt_path.text()))) return false;
        autosavecfg.path = edt_path.text();
        // Before the switch is stored: only a thread that saves before and after reopens.
        if (folderchanged_) folderchanged_(autosavecfg.enabled && ckbox_enable.checked());
    }
    if (const bool on = ckbox_enable.checked(); on != autosavecfg.enabled) {
        if (!written(ini.writebool("AUTO_SAVE", "Switch", on))) return false;
        autosavecfg.enabled = on;
    }
    if (const std::string ip = ipedt_dest1.address(); ip != settings_.defaultip) {
        if (!written(ini.writestring("CONFIG", "Default IP", ip))) return false;
        settings_.defaultip = ip;
    }
    if (const bool on = ckbox_save_comm.checked(); on != settings_.savecomm) {
        if (!written(ini.writebool("SAVE_COMM", "Switch", on))) return false;
        settings_.savecomm = on;
    }
    return true;
}

void Tform_config::btn_okClick() {
    if (storechanges()) close();
}

void Tform_config::btn_cancelClick() {
    close();
}

void Tform_config::FormClose(platform::CloseAction& action) {
    action = platform::CloseAction::Free;
}
