// One run of the real program against an exciter-sim started with fault options: the program in
// a fresh folder of its own, worked through its driver, and the simulator's frame record beside
// it. Every wait is bounded.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/korvinprocess.h"
#include "support/simprocess.h"

namespace korvin::test {

struct Window {
    const char* button;  // on the main window
    const char* form;
};
inline constexpr Window kConstellation{"btmbtn_ste", "TForm_ste"};
inline constexpr Window kEye{"btmbtn_eye", "TForm_eye"};
inline constexpr Window kAmplitude{"btmbtn_amp", "TForm_amp"};
inline constexpr Window kSpectrum{"btmbtn_spe", "TForm_spec"};
inline constexpr Window kSnr{"btmbtn_snr", "TForm_snr"};

inline const std::string kReread = "Receive Frame Timeout,and will reread again!";
inline const std::string kGiveUp = "Receive Frame Timeout,Please Check!Current Form Will Close!";
inline const std::string kDisconnected = "Successfully disconnected with server!";
inline const std::string kFormatError = "Frame Format Error,type:";

// The texts of the log lines without their "YYYY-MM-DD hh:mm:ss:" stamps (or the blank behind
// the stamp of a traffic line). A line that is not a stamped text ending in CR (a torn or merged
// line) comes back whole behind a "?".
std::vector<std::string> logtexts(const std::vector<std::string>& lines);
std::size_t countof(const std::vector<std::string>& lines, const std::string& text);
std::size_t countprefix(const std::vector<std::string>& lines, const std::string& prefix);

class FaultRun {
  public:
    // `configini`, when given, is the program's config.ini from its first start on.
    FaultRun(const std::string& name, const std::vector<std::string>& simargs,
             const std::string& configini = {});
    ~FaultRun();  // shows the log and the record when the test has failed
    FaultRun(const FaultRun&) = delete;
    FaultRun& operator=(const FaultRun&) = delete;

    SimProcess& sim() { return *sim_; }
    KorvinProcess& app() { return *app_; }
    // Stops the simulator and starts another on the same port.
    bool restartsim(const std::vector<std::string>& simargs);

    bool connect();                    // Connect from the main window, up to "connected"
    bool openwindow(const Window& w);  // the button's click, up to the window showing
    bool closewindow();  // its close box; the opening click answered, the main window free
    bool done(int capture, int timeout_ms = 20000);  // "DONE capture=K" recorded, or a later K
    // Repeats a driver command until its answer satisfies `want`.
    bool until(const std::string& command, const std::function<bool(const std::string&)>& want,
               int timeout_ms = 10000);
    int quit();  // Exit from the menu; the exit code (-1 when it did not end)
    std::vector<std::string> log() const { return logtexts(app_->loglines()); }

  private:
    std::string name_;
    std::filesystem::path folder_;
    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<KorvinProcess> app_;
    Window open_{nullptr, nullptr};
};

}  // namespace korvin::test
