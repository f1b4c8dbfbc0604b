// The main window's layout, buttons and menus.
#include "shell/mainfram.h"

#include "platform/backend.h"
#include "platform/desktop.h"
#include "services/autosavethread.h"
#include "services/globalunit.h"
#include "services/logthread.h"
#include "services/settings.h"

namespace {

struct MeasureButton {
    platform::BitmapButton Tmainform::*button;
    platform::MenuItem Tmainform::*item;
    const char* caption;
    int left, top, image;
    const char* logtext;
};

constexpr MeasureButton kMeasureButtons[] = {
    {&Tmainform::btmbtn_ste, &Tmainform::mniSte1, "&Constellation", 209, 287, 0,
     "Open Constellation Window!"},
    {&Tmainform::btmbtn_eye, &Tmainform::mniEye1, "&Eye-diagram", 423, 287, 6,
     "Open Eye-diagram Window!"},
    {&Tmainform::btmbtn_amp, &Tmainform::mniAmp1, "&Amplitude Flatness and Group Delay", 653, 287,
     2, "Open Amplitude Flatness and Group Delay Window!"},
    {&Tmainform::btmbtn_spe, &Tmainform::mniSpe1, "S&pectrum", 320, 424, 3,
     "Open Spectrum Window!"},
    {&Tmainform::btmbtn_snr, &Tmainform::mniSnr1, "&IMD and SNR", 542, 424, 4,
     "Open SNR&IMD Window!"},
    {&Tmainform::btmbtn_qua, &Tmainform::mniQua1, "Signal &Quality", 764, 424, 1,
     "Open Signal Quality Window!"},
};

}  // namespace

Tmainform::Tmainform() : platform::Form("mainform") {
    layout();
    onclose = [this](platform::CloseAction& a) { FormClose(a); };
}

Tmainform::~Tmainform() {
    // What closing left running (a thread it had to leave behind) is not waited for either.
    platform::finishworker(logthread_, stoplimit);
    platform::finishworker(autosavethread_, stoplimit);
}

void Tmainform::layout() {
    clientwidth = 984;
    clientheight = 542;
    mainmenu = &mm1;
    // Tab order: the measurement buttons, then the connection group.
    for (const auto& m : kMeasureButtons) {
        platform::BitmapButton& b = this->*m.button;
        b.setcaption(m.caption);
        b.setbounds(m.left, m.top, 121, 57);
        b.images = &il1;
        b.imageindex = m.image;
        b.hottrack = true;
        const int kind = static_cast<int>(&m - kMeasureButtons) + 1;
        b.onclick = [this, kind] { btmbtnClick(kind); };
        add(b);
        platform::MenuItem& item = this->*m.item;
        item.caption = m.caption;
        item.images = &il1;
        item.imageindex = m.image;
        item.onclick = [&b](platform::MenuItem&) { b.click(); };
        mniMeasure1.items.push_back(&item);
    }
    group_box.setcaption("Exciter Connection");
    group_box.setbounds(124, 92, 737, 129);
    add(group_box);
    for (platform::Control* c : std::initializer_list<platform::Control*>{
             &ipedt_dest, &edt_port, &btn_connect, &btn_disconnect, &lbl_ip, &lbl_port})
        c->parent = &group_box;
    ipedt_dest.setbounds(96, 40, 125, 21);
    ipedt_dest.bold = true;
    ipedt_dest.fontheight = 12;
    ipedt_dest.setaddress(kDefaultExciterIp);
    edt_port.setbounds(96, 84, 81, 21);
    edt_port.bold = true;
    edt_port.fontheight = 12;
    edt_port.displayformat = "#0";
    edt_port.setvalue(5700);
    edt_port.onkeypress = [this](char& k) { edt_portKeyPress(k); };
    btn_connect.setcaption("Connect");
    btn_connect.setbounds(391, 59, 121, 30);
    btn_connect.hottrack = true;
    btn_connect.onclick = [this] { btn_connectClick(); };
    btn_disconnect.setcaption("Disconnect");
    btn_disconnect.setbounds(573, 59, 121, 30);
    btn_disconnect.hottrack = true;
    btn_disconnect.onclick = [this] { btn_disconnectClick(); };
    lbl_ip.setcaption("IP:");
    lbl_ip.setbounds(52, 45, 30, 13);
    lbl_port.setcaption("PORT:");
    lbl_port.setbounds(52, 88, 40, 13);
    add({&ipedt_dest, &edt_port, &btn_connect, &btn_disconnect, &lbl_ip, &lbl_port});

    lbl_title.setcaption("KORVIN");
    lbl_title.setbounds(359, 25, 265, 24);
    lbl_title.fontheight = 21;
    lbl_title.setfontcolor(platform::kBlack);
    statusbar_1.setbounds(0, 523, 984, 19);
    statusbar_1.panes = {{"status_pane1", 857, false}, {"status_clock1", 129, true}};
    statusbar_1.onmousemove = [this] { status_pane1MouseMove(); };
    btn_about.setcaption("About");
    btn_about.setbounds(880, 475, 75, 25);
    btn_about.setvisible(false);
    btn_about.onclick = [this] { btn_aboutClick(); };
    img1.setbounds(14, 9, 111, 80);
    edt_port_gain.setbounds(106, 241, 65, 21);
    edt_port_gain.displayformat = ",0;(,0)";
    edt_port_gain.setvalue(2000);
    edt_port_gain.setvisible(false);
    lbl_1.setcaption("Gain Value:");
    lbl_1.setbounds(37, 245, 60, 13);
    lbl_1.setvisible(false);
    add({&lbl_title, &statusbar_1, &btn_about, &img1, &edt_port_gain, &lbl_1});

    mm1.items = {&mniConfig1, &mniMeasure1, &mniHelp1};
    mniConfig1.items = {&mniConfig2, &mniExit1};
    mniHelp1.items = {&mniAbout1};
    mniConfig2.imageresource = "menu_config";
    mniExit1.imageresource = "menu_exit";
    mniAbout1.imageresource = "menu_about";
    mniConfig2.onclick = [this](platform::MenuItem&) { mniConfig2Click(); };
    mniExit1.onclick = [this](platform::MenuItem&) { mniExit1Click(); };
    mniAbout1.onclick = [this](platform::MenuItem&) { btn_aboutClick(); };
}

void Tmainform::btmbtnClick(int kind) {
    const MeasureButton& m = kMeasureButtons[kind - 1];
    postlog(kMsgText, m.logtext);
    const auto windowkind = static_cast<exciter::WindowKind>(kind);
    link_.windowopened(windowkind);
    openwindow_.reset();
    if (windowfactory) openwindow_ = windowfactory(windowkind, *this);
    if (openwindow_) {
        MeasureWindow* w = openwindow_.get();
        w->form().seticon(&il1, m.image);
        // The window frees itself once it has closed. Its release is deferred, so a window opened
        // meanwhile may sit at the same address: the serial tells them apart.
        w->form().onrelease = [this, serial = ++windowserial_, alive = std::weak_ptr<int>(alive_)] {
            if (!alive.expired() && windowserial_ == serial) openwindow_.reset();
        };
    }
    lockbuttons();
    if (openwindow_) openwindow_->form().showmodal();
}

void Tmainform::btn_aboutClick() {
    if (aboutopener) aboutopener(*this);
}

void Tmainform::mniConfig2Click() {
    if (configopener) configopener(*this);
    applysettings();
}

void Tmainform::status_pane1MouseMove() {
    statusbar_1.setshowhint(true);
    statusbar_1.sethint(statusbar_1.text());
}

void Tmainform::mniExit1Click() {
    close();
}

void Tmainform::autosavefolderchanged(bool reopen) {
    if (autosavethread_) autosavethread_->setfolder(settings_.autosavecfg.path);
    if (reopen) postautosave(kMsgReopen, nullptr, 0);
}
