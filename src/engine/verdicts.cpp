#include "engine/verdicts.h"

#include <cmath>
#include <limits>

#include "engine/resultlayout.h"

namespace verdicts {

namespace {
bool within(const std::uint8_t* block, double (*read)(const std::uint8_t*, std::size_t),
            double bound) {
    for (std::size_t i = 0; i < resultlayout::kResponsePoints; ++i) {
        const double y = read(block, i);
        if (!std::isfinite(y) || std::fabs(y) > bound) return false;
    }
    return true;
}

Measures measuresof(const std::uint8_t* block) {
    namespace rl = resultlayout;
    Measures m;
    if (!rl::hasmeasures(block)) return m;
    m.present = true;
    m.pilotleveldb = rl::measure(block, rl::PilotLevelRelDb);
    m.carrieroffsethz = rl::measure(block, rl::CarrierFrequencyHz);
    m.symbolrateppm = rl::measure(block, rl::SymbolRateErrorPpm);
    m.merunequaliseddb = rl::measure(block, rl::MerUnequalisedDb);
    m.evmpercent = rl::measure(block, rl::EvmPercent);
    m.echodb = rl::measure(block, rl::LargestEchoDb);
    m.echous = rl::measure(block, rl::LargestEchoUs);
    m.paprdb = rl::measure(block, rl::PaprDb);
    m.maskintegratedpass = rl::measure(block, rl::MaskIntegratedPass) == 1.0;
    m.maskintegratedmargindb = rl::measure(block, rl::MaskIntegratedMarginDb);
    // A count out of range never reads past the spurs written.
    const double count = rl::measure(block, rl::SpurCount);
    m.spurcount =
        count > 0 ? static_cast<std::size_t>(std::fmin(count, static_cast<double>(rl::kMaxSpurs)))
                  : 0;
    for (std::size_t i = 0; i < m.spurcount; ++i)
        m.spurs[i] = {rl::spurmhz(block, i), rl::spurdbc(block, i)};
    return m;
}

}  // namespace

double masktestfrequency(std::size_t i) {
    return static_cast<double>(i) * 5.38 * 2 / 4096 - 5.38;
}

bool masktest(const std::uint8_t* block) {
    for (std::size_t i = 0; i < resultlayout::kSpectrumPoints; ++i) {
        const double level = resultlayout::spectrum(block, i);
        // No limit (NaN) never fails a measured level.
        if (!std::isfinite(level) || level > masklimit(masktestfrequency(i))) return false;
    }
    return true;
}

WorstPoint maskworstpoint(const std::uint8_t* block) {
    WorstPoint w{std::numeric_limits<double>::infinity(), 0};
    for (std::size_t i = 0; i < resultlayout::kSpectrumPoints; ++i) {
        const double level = resultlayout::spectrum(block, i);
        if (!std::isfinite(level)) return {-std::numeric_limits<double>::infinity(), i};
        const double limit = masklimit(masktestfrequency(i));
        if (!std::isnan(limit) && limit - level < w.margindb) w = {limit - level, i};
    }
    return w;
}

double maskmargin(const std::uint8_t* block) {
    return maskworstpoint(block).margindb;
}

bool flatnesspass(const std::uint8_t* block) {
    return within(block, resultlayout::freqerror, kFlatnessBound);
}

bool groupdelaypass(const std::uint8_t* block) {
    return within(block, resultlayout::grouperror, kGroupBound);
}

Judgement judge(const std::uint8_t* block, int result) {
    Judgement j;
    j.locked = result == 0 && resultlayout::locked(block);
    if (!j.locked) return j;
    using resultlayout::Figure;
    j.merdb = resultlayout::diagnostic(block, resultlayout::MerDb);
    j.flatnesspp = resultlayout::figure(block, Figure::FreqPkPk);
    j.groupdelaypp = resultlayout::figure(block, Figure::GroupPkPk);
    j.maskpass = masktest(block);
    j.maskmargindb = maskmargin(block);
    j.flatnesspass = flatnesspass(block);
    j.groupdelaypass = groupdelaypass(block);
    j.measures = measuresof(block);
    return j;
}

}  // namespace verdicts
