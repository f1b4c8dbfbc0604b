// The verdicts on a result block, the same wherever they are shown: the spectrum against the
// adjacent-channel mask, and the amplitude flatness and group delay within +-3 MHz against their
// limits. A value that is not a number was not measured and never passes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/masklimit.h"
#include "engine/resultlayout.h"

namespace verdicts {

inline constexpr double kFlatnessBound = 0.5;  // dB, either side of zero
inline constexpr double kGroupBound = 52;      // ns, either side of zero

// The frequency (MHz) spectrum point i is tested at: divisor 4096, slightly below its plotted x.
double masktestfrequency(std::size_t i);
// True when every point of the spectrum region is finite and stays at or below its limit.
bool masktest(const std::uint8_t* resultblock);
// The smallest room (dB) between a level and its limit over the points that have one: negative
// when the mask fails there, minus infinity when a level is not a number.
double maskmargin(const std::uint8_t* resultblock);
// That smallest room and the first spectrum point that has it (the point that is not a number,
// if one is).
struct WorstPoint {
    double margindb;
    std::size_t index;
};
WorstPoint maskworstpoint(const std::uint8_t* resultblock);

// True when every flatness error is finite and within kFlatnessBound.
bool flatnesspass(const std::uint8_t* resultblock);
// True when every group-delay error is finite and within kGroupBound.
bool groupdelaypass(const std::uint8_t* resultblock);

struct Spur {
    double mhz = 0;  // from the channel centre
    double dbc = 0;
};

// The analyser's figures from the engine's measures area. `present` only for a locked capture of
// an engine that writes the area: otherwise none of them was measured.
struct Measures {
    bool present = false;
    double pilotleveldb = 0;  // relative to the nominal pilot
    double carrieroffsethz = 0;
    double symbolrateppm = 0;
    double merunequaliseddb = 0;
    double evmpercent = 0;
    double echodb = 0, echous = 0;  // the largest echo: level relative to the main path, delay
    double paprdb = 0;
    bool maskintegratedpass = false;
    double maskintegratedmargindb = 0;
    std::size_t spurcount = 0;  // valid entries of `spurs`, strongest first
    std::array<Spur, resultlayout::kMaxSpurs> spurs{};
};

// Everything a result block says of a capture, judged: the engine's figures and the verdicts.
// Figures and verdicts stand only when the engine locked a signal (`locked`).
struct Judgement {
    bool locked = false;
    double merdb = 0;         // the engine's own MER
    double flatnesspp = 0;    // amplitude flatness within +-3 MHz, peak to peak (dB)
    double groupdelaypp = 0;  // group delay within +-3 MHz, peak to peak (ns)
    double maskmargindb = 0;  // see maskmargin()
    bool maskpass = false, flatnesspass = false, groupdelaypass = false;
    Measures measures;
    // True when a locked capture passes all three.
    bool pass() const { return locked && maskpass && flatnesspass && groupdelaypass; }
};
// The judgement of an engine call that returned `result` into `resultblock`.
Judgement judge(const std::uint8_t* resultblock, int result);

}  // namespace verdicts
