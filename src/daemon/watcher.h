// Watches one exciter: keeps the link up (re-made after a loss, with a back-off that doubles up
// to a minute), takes a status block and a capture when each is due, judges each capture with
// the windows' verdicts, and keeps the figures the metrics show.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "daemon/metrics.h"
#include "daemon/monitorfile.h"
#include "engine/verdicts.h"
#include "link/exciterlink.h"
#include "platform/timer.h"

class tautosavethread;

namespace watch {

inline constexpr int kMaxBackoffSeconds = 60;

class Keeper;

// What a watcher keeps besides its figures.
struct Keeping {
    std::string historyfolder;     // this exciter's daily SNR/IMD files; empty for none
    Keeper* recordings = nullptr;  // where captures worth keeping go; null for none
    double merthreshold = 25;      // a capture measured below this MER (dB) is kept
    int keepevery = 0;             // also every Nth capture; 0 for none
};

class Watcher : private exciter::LinkOwner {
  public:
    Watcher(ExciterConfig config, MetricsBoard& board, std::size_t index, Keeping keeping);
    ~Watcher() override;
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

    // Connects, and goes on by itself from then on.
    void start();

    const ExciterConfig& config() const { return config_; }
    const ExciterFigures& figures() const { return figures_; }
    exciter::Link& link() { return link_; }

  private:
    enum class Task { None, Status, Capture };

    void connect();
    void retrylater();
    void second();
    void begin(Task task);
    void finish();
    void publish();
    // Keeps the capture just measured when it failed, fell below the MER threshold, or is due.
    void keepcapture(int result, const verdicts::Judgement& j);

    void showdata(const std::uint8_t* resultblock) override;
    void showstatus(const std::uint8_t* statusblock) override;
    void shownosignal() override;
    void closewindow() override;
    void linkchanged(exciter::LinkEvent event, const std::string& text) override;
    void errorbox(const std::string&) override {}  // the log line says it already
    void log(exciter::LogKind kind, const std::string& text, const std::uint8_t* data,
             std::size_t count) override;
    void autosave(const std::uint8_t* statusblock) override;
    std::int32_t gain() override { return 2000; }
    void frameerror(int code) override;
    void timedout(bool gaveup) override;

    ExciterConfig config_;
    MetricsBoard& board_;
    std::size_t index_;
    Keeping keeping_;
    ExciterFigures figures_;
    exciter::Link link_{*this};
    platform::Timer secondtimer_{"secondtimer", 1000, false};  // paces status blocks and captures
    platform::Timer reconnecttimer_{"reconnecttimer", 1000, false};
    std::unique_ptr<tautosavethread> history_;
    Task task_ = Task::None;
    std::int64_t seconds_ = 0;  // since start
    std::int64_t laststatus_ = -1, lastcapture_ = -1;
    int backoff_ = 1;  // seconds before the next connect after a loss
};

}  // namespace watch
