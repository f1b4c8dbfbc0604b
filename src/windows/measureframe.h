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
// The SNR standard the IMD and SNR window draws; the MER after the equaliser is held to it too.
inline constexpr double kSnrStandardDb = 27;

// "%2.1fdB" of a status byte counted in half decibels.
std::string readouttext(std::uint8_t halfdb);
// The value with `decimals` decimals and the unit; "--" for a value that is not finite or not
// below `limit`, and never "-0.00".
std::string figuretext(double v, const char* unit, int decimals = 2, double limit = kFigureLimit);
// "Pass" in the window-text colour or "Fail" in red.
void setverdict(platform::Label& l, bool pass);
// "No signal" in red: the capture held nothing to judge.
void setnosignal(platform::Label& l);

class MeasureFrame : public platform::Form, public MeasureWindow {
  public:
    // The readout reads "--" until the exciter's first status block.
    MeasureFrame(std::string name, const std::string& title, WindowHost& host);
    ~MeasureFrame() override;

    void showstatus(const std::uint8_t* statusblock) override;
    // The MER line says "No signal" (capture windows).
    void shownosignal() override;
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
    platform::Label lbl_mercaption{"lbl_mercaption"};
    platform::Label lbl_mer{"lbl_mer"};
    platform::Button btn_close{"btn_close"};
    platform::SaveDialog savedlg_1;
    platform::Timer tmr1{"tmr1", 1000, false};

  protected:
    // Moves the readout lines (the SNR window sits its last line one pixel lower).
    void placereadout(int top, int lasttop);
    // Places the window's save control beside Close with the frame's caption.
    void addsavecontrol(platform::Button& save);
    // Capture windows: a fourth readout line, below the exciter's three, with the engine's own
    // MER of the latest capture: an independent measurement beside the exciter's claimed SNR.
    // `gap`: pixels from the last line's top to the MER line's (a window short of room gives
    // less than the lines' own 25).
    void addmerreadout(int gap = 25);
    // The MER line from a result block: the engine's figure when it locked a signal.
    void showmer(const std::uint8_t* resultblock);
    // The last step of a window's creation: the debug timer runs only in debug mode.
    void startdebugtimer();
    // The readout from the host's current status block.
    void refreshreadout();
    // Runs savedlg_1 with the JPEG filter, forces ".jpg" and exports the chart.
    void savechart(const platform::Chart& chart);
    // Two charts under one chosen name: <name><firstsuffix> and <name><secondsuffix> (the
    // suffixes end in ".jpg"), written into the folder the dialog showed, whatever the process's
    // current folder is. The first failure ends it.
    void savebothcharts(const platform::Chart& first, const char* firstsuffix,
                        const platform::Chart& second, const char* secondsuffix);
    // Writes the chart as JPEG; a failure is shown with the file and the reason.
    bool exportchart(const platform::Chart& chart, const std::string& file);
    // Frees the series created at run time; called while closing.
    virtual void freeseries() {}

    WindowHost& host_;
    bool hasmer_ = false;
};

}  // namespace windows
