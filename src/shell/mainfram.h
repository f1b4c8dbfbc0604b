// The main window: connection controls, the six measurement buttons, status bar and menus. It
// holds the exciter link (socket, timers, acquisition state, buffers), the open measurement
// window and the two worker threads. Its handlers keep the names the protocol's description
// gives and forward to the link.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/exciterlink.h"
#include "platform/clientsocket.h"
#include "platform/component.h"
#include "platform/form.h"
#include "platform/timer.h"
#include "platform/workerthread.h"
#include "services/settings.h"
#include "windows/measurewindow.h"
#include "windows/windowhost.h"

class TlogThread;
class tautosavethread;

enum RunMode : std::uint8_t { RunNormal = 0, RunDebug = 1, RunSuper = 2 };

// "V" and the file version, at most 6 characters.
std::string versiontext(const std::string& fileversion);

class Tmainform : public platform::Form, public windows::WindowHost, private exciter::LinkOwner {
  public:
    // Opens the measurement window of a kind; set by the program.
    using WindowFactory =
        std::function<std::unique_ptr<MeasureWindow>(exciter::WindowKind, Tmainform&)>;
    // Opens a dialog of the shell (configuration dialog, about box) modally.
    using DialogOpener = std::function<void(Tmainform&)>;

    Tmainform();
    ~Tmainform() override;

    // Start-up and shutdown.
    void FormCreate(const std::vector<std::string>& args);
    void FormClose(platform::CloseAction& action);
    void getstartpara(const std::vector<std::string>& args);
    void loadconfig();
    bool initsyspara();
    void initformshow();
    void mniExit1Click();

    // Buttons, menus, status pane.
    void btmbtnClick(int kind);
    void lockbuttons();
    void btn_aboutClick();
    void mniConfig2Click();
    void status_pane1MouseMove();

    // Exciter connection.
    void btn_connectClick();
    void btn_disconnectClick();
    void socket_linkConnecting() { link_.connecting(); }
    void socket_linkConnect() { link_.connectdone(); }
    void socket_linkDisconnect() { link_.disconnected(); }
    void socket_linkError(platform::SocketErrorKind kind, int& code) {
        link_.socketerror(kind, code);
    }
    void edt_portKeyPress(char& key);

    // Acquisition cycle, run by the link.
    void tmr_tickTimer() { link_.tick(); }
    void tmr_updateTimer() { link_.update(); }
    void tmr_outTimer() { link_.timeout(); }
    void socket_linkRead() { link_.read(); }
    bool dispatchframe(const std::uint8_t* frame) { return link_.dispatchframe(frame); }
    void formclosed() override;
    void close_open_form() { link_.closewindow(); }
    bool onsampleframe(const std::uint8_t* frame) { return link_.onsampleframe(frame); }
    bool onstatusframe(const std::uint8_t* frame) { return link_.onstatusframe(frame); }
    int runengine() { return link_.runengine(); }
    void simulatedata() override { link_.simulate(); }
    bool takeresult(int result) { return link_.takeresult(result); }

    // What the measurement windows ask of the main window.
    const platform::ImageList& logo() const override { return il2; }
    bool debugmode() const override { return runmode == RunDebug; }
    const std::uint8_t* statusblock() const override { return link_.statusblock(); }

    // Senders to the worker threads.
    void postlog(unsigned msg, const std::string& text, const std::uint8_t* data = nullptr,
                 std::size_t count = 0);
    void postautosave(unsigned msg, const std::uint8_t* data, std::size_t count);
    // Hands the auto-save folder in settings() to the thread; `reopen` has it move its open
    // file there with the next line.
    void autosavefolderchanged(bool reopen);

    // The settings of the run, read by loadconfig() and changed by the configuration dialog.
    Settings& settings() { return settings_; }

    MeasureWindow* openwindow() const { return openwindow_.get(); }
    platform::ClientSocket& socket() { return link_.socket(); }
    exciter::Link& link() { return link_; }
    std::vector<platform::BitmapButton*> measurebuttons();

    WindowFactory windowfactory;
    DialogOpener configopener, aboutopener;
    // Makes the worker threads (empty: plain threads); a test can make it fail.
    platform::ThreadStarter threadstarter;
    // How long closing waits for each worker thread to end before it leaves it behind: two
    // threads, so the window closes within about 4 s whatever their disks are doing.
    std::chrono::milliseconds stoplimit{2000};

    // Components, in declaration order.
    platform::GroupBox group_box{"group_box"};
    platform::IpEdit ipedt_dest{"ipedt_dest"};
    platform::NumericEdit edt_port{"edt_port"};
    platform::Button btn_connect{"btn_connect"};
    platform::Button btn_disconnect{"btn_disconnect"};
    platform::Label lbl_ip{"lbl_ip"};
    platform::Label lbl_port{"lbl_port"};
    platform::BitmapButton btmbtn_ste{"btmbtn_ste"};
    platform::BitmapButton btmbtn_eye{"btmbtn_eye"};
    platform::BitmapButton btmbtn_amp{"btmbtn_amp"};
    platform::BitmapButton btmbtn_spe{"btmbtn_spe"};
    platform::BitmapButton btmbtn_snr{"btmbtn_snr"};
    platform::BitmapButton btmbtn_qua{"btmbtn_qua"};
    platform::Label lbl_title{"lbl_title"};
    platform::StatusBar statusbar_1{"statusbar_1"};
    platform::Button btn_about{"btn_about"};
    platform::Image img1{"img1"};
    platform::NumericEdit edt_port_gain{"edt_port_gain"};
    platform::Label lbl_1{"lbl_1"};
    platform::ImageList il1{"il1", 16, 16, 10, "il1_"};
    platform::ImageList il2{"il2", 128, 128, 2, "il2_"};
    platform::Menu mm1{"mm1"};
    platform::MenuItem mniConfig1{"mniConfig1", "System(&S)"};
    platform::MenuItem mniConfig2{"mniConfig2", "Config(&C)"};
    platform::MenuItem mniExit1{"mniExit1", "Exit(&E)"};
    // The measurement windows again, in the buttons' order, each enabled with its button.
    platform::MenuItem mniMeasure1{"mniMeasure1", "Measure(&M)"};
    platform::MenuItem mniSte1{"mniSte1", ""}, mniEye1{"mniEye1", ""}, mniAmp1{"mniAmp1", ""};
    platform::MenuItem mniSpe1{"mniSpe1", ""}, mniSnr1{"mniSnr1", ""}, mniQua1{"mniQua1", ""};
    platform::MenuItem mniHelp1{"mniHelp1", "Help(&H)"};
    platform::MenuItem mniAbout1{"mniAbout1", "About...(&A)"};

  private:
    Settings settings_;
    exciter::Link link_{*this};

  public:
    // The link's timers, under their own names.
    platform::Timer& tmr_update = link_.tmr_update;
    platform::Timer& tmr_out = link_.tmr_out;
    platform::Timer& tmr_tick = link_.tmr_tick;

    std::uint8_t runmode = RunNormal;

    std::string statustext() const { return statusbar_1.text(); }

  private:
    void layout();
    void setlinkbuttons(bool connectenabled);
    void setmeasurebuttons(bool enabled);
    void applysettings();

    // What the link asks of its owner.
    void showdata(const std::uint8_t* resultblock) override;
    void showstatus(const std::uint8_t* statusblock) override;
    void shownosignal() override;
    void closewindow() override;
    void linkchanged(exciter::LinkEvent event, const std::string& text) override;
    void errorbox(const std::string& text) override;
    void log(exciter::LogKind kind, const std::string& text, const std::uint8_t* data,
             std::size_t count) override;
    void autosave(const std::uint8_t* statusblock) override;
    std::int32_t gain() override;

    std::unique_ptr<TlogThread> logthread_;
    std::unique_ptr<tautosavethread> autosavethread_;
    std::unique_ptr<MeasureWindow> openwindow_;
    std::uint32_t windowserial_ = 0;  // counts the windows opened
    // Deferred calls check this before they touch the window.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
