// The main window: connection controls, the five measurement buttons, status bar and menus. It
// owns the socket, the three timers, the acquisition state and the two worker threads. Its
// protocol methods live in link/, its layout and start-up in shell/.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/frames.h"
#include "platform/clientsocket.h"
#include "platform/component.h"
#include "platform/form.h"
#include "platform/timer.h"
#include "platform/workerthread.h"
#include "windows/measurewindow.h"

class TlogThread;
class tautosavethread;

enum RunMode : std::uint8_t { RunNormal = 0, RunDebug = 1, RunSuper = 2 };
extern std::uint8_t runmode;

// Logged when a run of captures without a signal to measure begins.
inline constexpr const char* kNoSignalText = "No 8-VSB signal in the capture!";

// "V" and the file version, at most 6 characters.
std::string versiontext(const std::string& fileversion);
// The operating system's text for an error code, without trailing blanks, controls and stops.
std::string linkErrorMessage(int code);

class Tmainform : public platform::Form {
  public:
    // Opens the measurement window for a kind (1..5); set by the program.
    using WindowFactory = std::function<std::unique_ptr<MeasureWindow>(int kind, Tmainform&)>;
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
    void socket_linkConnecting();
    void socket_linkConnect();
    void socket_linkDisconnect();
    void socket_linkError(platform::SocketErrorKind kind, int& code);
    void edt_portKeyPress(char& key);

    // Acquisition cycle.
    void tmr_tickTimer();
    void tmr_updateTimer();
    void tmr_outTimer();
    void socket_linkRead();
    bool dispatchframe(const std::uint8_t* frame);
    void refreshformdata();
    void refreshformstatus();
    void formclosed();
    void close_open_form();
    void sendrequest(std::int16_t code);
    void sendframeack(const std::uint8_t* frame);

    // Capture reassembly; true when the frame was accepted.
    bool onsampleframe(const std::uint8_t* frame);
    bool onstatusframe(const std::uint8_t* frame);
    int runengine();
    void simulatedata();
    // After an engine call with its result: true when the result block holds a measurement to
    // show. A refused or unlocked capture begins a run without signal, logged once; the next
    // locked result ends it. A refusal also tells the open window.
    bool takeresult(int result);
    void refreshformnosignal();

    // Senders to the worker threads.
    void postlog(unsigned msg, const std::string& text, const std::uint8_t* data = nullptr,
                 std::size_t count = 0);
    void postautosave(unsigned msg, const std::uint8_t* data, std::size_t count);

    MeasureWindow* openwindow() const { return openwindow_.get(); }
    platform::ClientSocket& socket() { return *socket_link; }
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
    platform::MenuItem mniHelp1{"mniHelp1", "Help(&H)"};
    platform::MenuItem mniAbout1{"mniAbout1", "About...(&A)"};
    platform::Timer tmr_update{"tmr_update", 100, true};
    platform::Timer tmr_out{"tmr_out", 2000, false};
    platform::Timer tmr_tick{"tmr_tick", 10, true};
    std::unique_ptr<platform::ClientSocket> socket_link;

    // Acquisition state.
    std::int32_t formkind = 0;
    std::uint32_t tickcount = 0;
    std::uint32_t seccount = 0;
    std::uint32_t capturemark = 0;
    std::uint32_t statusmark = 0;
    std::int32_t retrycount = 0;
    std::uint32_t packetno = 0;
    std::int32_t gainvalue = 2000;
    std::array<std::uint8_t, kRxFrameSize> rxframe{};
    std::array<std::uint8_t, kTxFrameSize> txframe{};
    std::size_t rxheld = 0;     // bytes of a frame whose rest is still on its way
    std::uint32_t simseed = 1;  // debug captures' generator state, from the clock at start-up
    std::string statustext() const { return statusbar_1.text(); }

  private:
    void layout();
    void setlinkbuttons(bool connectenabled);
    void setmeasurebuttons(bool enabled);
    void linkfailed(const std::string& text);
    bool holdpartial(std::size_t n);
    void reportformat(int code);
    void takestatus(const std::uint8_t* status);

    std::unique_ptr<TlogThread> logthread_;
    std::unique_ptr<tautosavethread> autosavethread_;
    std::unique_ptr<MeasureWindow> openwindow_;
    std::uint32_t windowserial_ = 0;  // counts the windows opened
    bool nosignal_ = false;           // within a run of refused or unlocked captures
    // Deferred calls check this before they touch the window.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
