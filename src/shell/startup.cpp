// Start-up and shutdown of the main window.
#include <cstring>
#include <system_error>

#include "engine/buffers.h"
#include "platform/backend.h"
#include "platform/desktop.h"
#include "services/autosavethread.h"
#include "services/globalunit.h"
#include "services/loadconfig.h"
#include "services/logthread.h"
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
    if (args.size() != 1) return;
    if (args[0] == "debug") runmode = RunDebug;
    if (args[0] == "super") runmode = RunSuper;
}

void Tmainform::loadconfig() {
    ::loadconfig(platform::desktop().exefolder(), ipedt_dest);
}

bool Tmainform::initsyspara() {
    std::memset(resultblock, 0, sizeof resultblock);
    simseed = clockseed();
    rxframe.fill(0);
    try {
        logthread_ = std::make_unique<TlogThread>();
        logthread_->start(threadstarter);
        autosavethread_ = std::make_unique<tautosavethread>();
        autosavethread_->start(threadstarter);
    } catch (const std::system_error&) {
        const std::string text = "System startup Error,Please check!";
        platform::desktop().errorbox(text);
        statusbar_1.settext(text);
    }
    formkind = 0;
    seccount = 0;
    tmr_tick.setinterval(10);
    tickcount = 0;
    gainvalue = 2000;
    retrycount = 0;
    tmr_out.setenabled(false);
    tmr_out.setinterval(2000);
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
    if (socket_link->active()) socket_link->setactive(false);
    // Each thread writes what was posted to it, the disconnect text included, and ends; one
    // that does not end in time (a disk that hangs) is left behind. A failure on the log
    // thread leaves the auto-save thread to the window's destructor.
    if (!platform::finishworker(logthread_, stoplimit) ||
        !platform::finishworker(autosavethread_, stoplimit))
        platform::desktop().errorbox("log_thread.Destroy err!");
}
