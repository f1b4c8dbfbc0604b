// The main window as the owner of the exciter link: its connection controls and buttons, what
// the link reports shown in the open window, the status line, the log and the message boxes,
// and the senders to the worker threads.
#include "platform/backend.h"
#include "platform/desktop.h"
#include "services/autosavethread.h"
#include "services/globalunit.h"
#include "services/logthread.h"
#include "shell/mainfram.h"

void Tmainform::setlinkbuttons(bool connectenabled) {
    btn_connect.setenabled(connectenabled);
    btn_disconnect.setenabled(!connectenabled);
}

void Tmainform::btn_connectClick() {
    btn_connect.setenabled(false);
    if (!link_.connect(ipedt_dest.address(), edt_port.roundedvalue())) setlinkbuttons(true);
}

void Tmainform::btn_disconnectClick() {
    link_.disconnect();
    setlinkbuttons(true);
}

void Tmainform::edt_portKeyPress(char& key) {
    const auto c = static_cast<unsigned char>(key);
    const bool pass = c < 31 || c == '-' || c == '.' || (c >= '0' && c <= '9');
    if (!pass) key = 0;
}

void Tmainform::formclosed() {
    setmeasurebuttons(true);
    link_.windowclosed();
    btn_disconnect.setenabled(true);
}

// The settings the link works by, from those held in memory.
void Tmainform::applysettings() {
    link_.settings.logtraffic = settings_.savecomm;
    link_.settings.autosave = settings_.autosavecfg.enabled;
    link_.settings.dumpcaptures = runmode == RunSuper;
}

void Tmainform::showdata(const std::uint8_t* resultblock) {
    if (openwindow_) openwindow_->showdata(resultblock);
}

void Tmainform::showstatus(const std::uint8_t* statusblock) {
    if (openwindow_) openwindow_->showstatus(statusblock);
}

void Tmainform::shownosignal() {
    if (openwindow_) openwindow_->shownosignal();
}

void Tmainform::closewindow() {
    if (openwindow_) openwindow_->form().close();
}

void Tmainform::linkchanged(exciter::LinkEvent event, const std::string& text) {
    using exciter::LinkEvent;
    statusbar_1.settext(text);
    switch (event) {
        case LinkEvent::Connecting:
            btn_connect.setenabled(false);
            btn_disconnect.setenabled(false);
            break;
        case LinkEvent::Connected:
            setlinkbuttons(false);
            setmeasurebuttons(true);
            break;
        case LinkEvent::Disconnected:
        case LinkEvent::Failed:
            setlinkbuttons(true);
            // In debug mode the windows make their own captures, so they stay at hand.
            if (runmode != RunDebug) setmeasurebuttons(false);
            break;
    }
}

void Tmainform::errorbox(const std::string& text) {
    platform::desktop().errorbox(text);
}

void Tmainform::log(exciter::LogKind kind, const std::string& text, const std::uint8_t* data,
                    std::size_t count) {
    // The log thread's message for each kind, in the order LogKind lists them.
    static constexpr unsigned kMessages[] = {kMsgText, kMsgReceived, kMsgSent, kMsgDumpFirst,
                                             kMsgDumpSecond};
    postlog(kMessages[static_cast<std::size_t>(kind)], text, data, count);
}

void Tmainform::autosave(const std::uint8_t* statusblock) {
    postautosave(kMsgStatus, statusblock, 4);
}

std::int32_t Tmainform::gain() {
    return static_cast<std::int32_t>(edt_port_gain.roundedvalue());
}

std::vector<platform::BitmapButton*> Tmainform::measurebuttons() {
    return {&btmbtn_ste, &btmbtn_eye, &btmbtn_amp, &btmbtn_spe, &btmbtn_snr, &btmbtn_qua};
}

void Tmainform::setmeasurebuttons(bool enabled) {
    for (auto* b : measurebuttons()) b->setenabled(enabled);
    for (auto* m : mniMeasure1.items) m->enabled = enabled;
}

void Tmainform::lockbuttons() {
    setmeasurebuttons(false);
    btn_disconnect.setenabled(false);
}

void Tmainform::postlog(unsigned msg, const std::string& text, const std::uint8_t* data,
                        std::size_t count) {
    ::postlog(logthread_.get(), msg, text, data, count);
}

void Tmainform::postautosave(unsigned msg, const std::uint8_t* data, std::size_t count) {
    ::postautosave(autosavethread_.get(), msg, data, count);
}
