// The frame every measurement window shares: logo, title, the status readout, Close, the save
// control, the debug acquisition timer and the closing path back to the host.
#pragma once

#include <cstdint>
#include <string>

#include "platform/chart.h"
#include "platform/component.h"
#include "platform/desktop.h"
#include "platform/form.h"
#include "platform/timer.h"
#include "windows/measurewindow.h"
#include "windows/windowhost.h"

namespace windows {

inline constexpr const char* kJpgFilter = "JGP Files(*.jpg)|*.jpg|All Files(*.*)|*.*";

inline constexpr const char* kNoSignal = "No signal";
inline constexpr const char* kNotMeasured = "--";
// Beyond this a figure would be a row of digits in its column rather than a reading.
inline constexpr double kFigureLimit = 1e4;

// "%2.1fdB" of a status byte counted in half decibels.
std::string readouttext(std::uint8_t halfdb);
// "%.2f" and the unit; "--" for a value that is not finite or not below kFigureLimit, and never
// "-0.00".
std::string figuretext(double v, const char* unit);
// "Pass" in the window-text colour or "Fail" in red.
void setverdict(platform::Label& l, bool pass);
// "No signal" in red: the capture held nothing to judge.
void setnosignal(platform::Label& l);

struct Placeholders {
    const char* snr;
    const char* limd;
    const char* uimd;
};

class MeasureFrame : public platform::Form, public MeasureWindow {
  public:
    MeasureFrame(std::string name, const std::string& title, WindowHost& host, Placeholders ph);
    ~MeasureFrame() override;

    void showstatus(const std::uint8_t* statusblock) override;
    platform::Form& form() override { return *this; }

    void btn_closeClick() { close(); }
    void FormClose(platform::CloseAction& action);
    void tmr1Timer();

    platform::Image img1{"img1"};
    platform::Label lbl_1{"lbl_1"};
    platform::Label lbl_2{"lbl_2"};
    platform::Label lbl_snrcaption{"lbl_snrcaption"};
    platform::Label lbl_limdcaption{"lbl_limdcaption"};
    platform::Label lbl_uimdcaption{"lbl_uimdcaption"};
    platform::Label lbl_snr{"lbl_snr"};
    platform::Label lbl_limd{"lbl_limd"};
    platform::Label lbl_uimd{"lbl_uimd"};
    platform::Button btn_close{"btn_close"};
    platform::SaveDialog savedlg_1;
    platform::Timer tmr1{"tmr1", 1000, false};

  protected:
    // Moves the readout lines (the SNR window sits its last line one pixel lower).
    void placereadout(int top, int lasttop);
    // Places the window's save control beside Close with the frame's caption.
    void addsavecontrol(platform::Button& save);
    // The last step of a window's creation: the debug timer runs only in debug mode.
    void startdebugtimer();
    // The readout from the host's current status block.
    void refreshreadout();
    // Runs savedlg_1 with the JPEG filter, forces ".jpg" and exports the chart.
    void savechart(const platform::Chart& chart);
    // Writes the chart as JPEG; a failure is shown with the file and the reason.
    bool exportchart(const platform::Chart& chart, const std::string& file);
    // Frees the series created at run time; called while closing.
    virtual void freeseries() {}

    WindowHost& host_;
};

}  // namespace windows
