// Start-up and shutdown of the main window.
#include <cstring>
#include <system_error>

#include "platform/backend.h"
#include "platform/desktop.h"
#include "services/autosavethread.h"
#include "services/globalunit.h"
#include "services/loadconfig.h"
#include "services/logthread.h"
#include "services/userfolders.h"
#include "shell/mainfram.h"

std::string versiontext(const std::string& fileversion) {
    if (fileversion.empty()) return {};
    std::string text = "V" + fileversion;
    if (text.size() > 6) text.resize(6);
    return text;
}

void Tmainform::FormCreate(const std::vector<std::string>& args) {
    getstartpara(args);
    loadconfig();
    initsyspara();
    initformshow();
    platform::desktop().sleepms(100);
    const std::string text = "Initialized successfully!";
    statusbar_1.settext(text);
    postlog(kMsgText, text);
}

void Tmainform::getstartpara(const std::vector<std::string>& args) {
    runmode = RunNormal;
    if (args.size() == 1 && args[0] == "debug") runmode = RunDebug;
    if (args.size() == 1 && args[0] == "super") runmode = RunSuper;
    applysettings();
}

void Tmainform::loadconfig() {
    const UserFolders folders = userfolders();
    ::loadconfig(folders.config, folders.saves, ipedt_dest, settings_);
    applysettings();
    autosavefolderchanged(false);
}

bool Tmainform::initsyspara() {
    link_.reset();
    try {
        logthread_ = std::make_unique<TlogThread>();
        logthread_->start(threadstarter);
        autosavethread_ = std::make_unique<tautosavethread>();
        autosavethread_->setfolder(settings_.autosavecfg.path);
        autosavethread_->start(threadstarter);
    } catch (const std::system_error&) {
        const std::string text = "System startup Error,Please check!";
        platform::desktop().errorbox(text);
        statusbar_1.settext(text);
    }
    return true;
}

void Tmainform::initformshow() {
    setcaption("KORVIN " + versiontext(platform::desktop().fileversion()));
    btn_disconnect.setenabled(false);
    btn_connect.setenabled(true);
    setmeasurebuttons(runmode == RunDebug);
    seticon(&il1, 5);
    img1.sethint("Veltrax Communication");
    img1.setshowhint(true);
    img1.setpicture(&il2, 0);
}

void Tmainform::FormClose(platform::CloseAction&) {
    close_open_form();
    link_.disconnect();
    // Each thread writes what was posted to it, the disconnect text included, and ends; one
    // that does not end in time (a disk that hangs) is left behind. A failure on the log
    // thread leaves the auto-save thread to the window's destructor.
    if (!platform::finishworker(logthread_, stoplimit) ||
        !platform::finishworker(autosavethread_, stoplimit))
        platform::desktop().errorbox("log_thread.Destroy err!");
}
