// What the daemon knows of each exciter, and its rendering in the Prometheus text format.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/verdicts.h"

namespace watch {

// Kinds of frame error, in the order of the link's frame checks (1..8).
inline constexpr std::array<const char*, 8> kFrameErrorKinds = {
    "id", "header", "length", "index", "data", "sum", "tail", "pointer"};

// One exciter's figures. Plain values only: a copy is made under a lock for every scrape.
struct ExciterFigures {
    bool up = false;
    // The exciter's own status block (its claim), once one has come.
    bool hasstatus = false;
    double snrdb = 0, imdlowerdb = 0, imdupperdb = 0;
    // The engine's measurement of the last capture it could lock.
    bool hasmeasurement = false;
    double merdb = 0, flatnesspp = 0, groupdelaypp = 0, maskmargindb = 0;
    bool maskpass = false, flatnesspass = false, groupdelaypass = false;
    verdicts::Measures measures;  // of that capture: none when the engine did not write them
    double lastgoodcapture = 0;   // Unix time in seconds
    // Counters since the daemon started.
    std::uint64_t captures = 0, refused = 0, timeouts = 0, reconnects = 0;
    std::array<std::uint64_t, kFrameErrorKinds.size()> frameerrors{};

    // Takes the figures of a capture the engine locked (`j.locked`), taken at `unixtime`.
    void takemeasurement(const verdicts::Judgement& j, double unixtime);
};

// The figures of every exciter, written by the event loop and read by the metrics endpoint's
// thread.
class MetricsBoard {
  public:
    explicit MetricsBoard(std::vector<std::string> names);
    std::size_t size() const { return names_.size(); }
    void publish(std::size_t index, const ExciterFigures& f);
    // The whole exposition, from a consistent copy.
    std::string render() const;

  private:
    const std::vector<std::string> names_;
    mutable std::mutex mutex_;
    std::vector<ExciterFigures> figures_;  // guarded by mutex_
};

// The Prometheus text format (0.0.4) of the given exciters' figures.
std::string rendermetrics(const std::vector<std::string>& names,
                          const std::vector<ExciterFigures>& figures);
// A label value with \, " and newline escaped.
std::string escapelabel(const std::string& v);

}  // namespace watch
