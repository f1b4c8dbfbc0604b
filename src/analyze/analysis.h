// korvin-analyze's work on one recording: the engine runs on its capture again and judges it,
// and the result is reported as a line of text or as JSON.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/buffers.h"
#include "records/sigmf.h"

namespace analyze {

struct Outcome {
    std::string file;      // the recording's base name, or the input that could not be read
    std::string error;     // empty when the input was a readable recording
    records::Facts facts;  // as recorded, with the engine's fresh measurement
};

// Runs the engine on recordings, one after another, in buffers made once.
class Analyser {
  public:
    Analyser();
    // Measures the recording and fills `out`; resultblock() then holds the engine's result.
    void measure(const records::Recording& r, Outcome& out);
    const std::uint8_t* resultblock() const { return buffers_->resultblock; }

  private:
    std::unique_ptr<MeasureBuffers> buffers_;
};

// Expands the inputs: a folder gives its recordings (*.sigmf-meta, sorted), a recording file
// stands for itself, anything else is taken for a super-mode log. A folder that cannot be read
// or holds no recording gives an input with its error.
struct Input {
    std::string path;
    bool log = false;
    std::string error;
};
std::vector<Input> expandinputs(const std::vector<std::string>& args);

// "NAME: Pass  MER 31.84 dB  flatness 0.00 dB p-p Pass  group delay 0.42 ns p-p Pass  mask Pass
// (margin 10.31 dB)" followed by the engine's measures when it wrote them ("  pilot 0.02 dB
// carrier 1.20 Hz ..."), "NAME: No signal", or "NAME: error: ..." for bad input.
std::string textline(const Outcome& o);
// An array of one object per outcome.
std::string jsonreport(const std::vector<Outcome>& outcomes);
// 0 when every recording passes, 1 when one fails or holds no signal, 2 when an input was bad.
int exitcode(const std::vector<Outcome>& outcomes);

}  // namespace analyze
