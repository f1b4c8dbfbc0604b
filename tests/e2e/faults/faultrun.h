// One run of the real program against an exciter-sim started with fault options: the program in
// a fresh folder of its own, worked through its driver, and the simulator's frame record beside
// it. Every wait is bounded.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/e2ecase.h"
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

inline const std::string kFormatError = "Frame Format Error,type:";

// Like logtexts, but strict: a line that is not a stamped text ending in CR (a torn or merged
// line, or a dump line) comes back whole behind a "?".
std::vector<std::string> wholelogtexts(const std::vector<std::string>& lines);
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
    bool done(int capture, int timeoutms = 20000);  // "DONE capture=K" recorded, or a later K
    int quit();  // Exit from the menu; the exit code (-1 when it did not end)
    std::vector<std::string> log() const { return wholelogtexts(app_->loglines()); }

  private:
    std::string name_;
    std::filesystem::path folder_;
    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<KorvinProcess> app_;
    Window open_{nullptr, nullptr};
};

}  // namespace korvin::test
