#include "daemon/metrics.h"

#include <charconv>
#include <cmath>
#include <functional>

namespace watch {

namespace {

// Go float syntax: NaN, +Inf, -Inf, otherwise the shortest exact decimal.
std::string number(double v) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "+Inf" : "-Inf";
    char b[32];
    const auto end = std::to_chars(b, b + sizeof b, v).ptr;
    return std::string(b, end);
}

struct Family {
    const char* name;
    const char* type;
    const char* help;
    // The sample of one exciter; false when it has none to show.
    std::function<bool(const ExciterFigures&, double&)> value;
};

bool always(double v, double& out) {
    out = v;
    return true;
}

// A figure of the engine's measures area: none unless the last locked capture had them.
bool measured(const ExciterFigures& f, double v, double& out) {
    return f.hasmeasurement && f.measures.present && always(v, out);
}

const std::vector<Family>& families() {
    using F = const ExciterFigures&;
    static const std::vector<Family> all = {
        {"korvin_exciter_up", "gauge", "1 while the link to the exciter is up.",
         [](F f, double& v) { return always(f.up, v); }},
        {"korvin_exciter_snr_db", "gauge", "SNR the exciter reports in its status block (dB).",
         [](F f, double& v) { return f.hasstatus && always(f.snrdb, v); }},
        {"korvin_exciter_imd_lower_db", "gauge", "Lower IMD the exciter reports (dB).",
         [](F f, double& v) { return f.hasstatus && always(f.imdlowerdb, v); }},
        {"korvin_exciter_imd_upper_db", "gauge", "Upper IMD the exciter reports (dB).",
         [](F f, double& v) { return f.hasstatus && always(f.imdupperdb, v); }},
        {"korvin_mer_db", "gauge", "MER of the last locked capture, measured by the engine (dB).",
         [](F f, double& v) { return f.hasmeasurement && always(f.merdb, v); }},
        {"korvin_flatness_peak_to_peak_db", "gauge",
         "Amplitude flatness within +-3 MHz, peak to peak (dB).",
         [](F f, double& v) { return f.hasmeasurement && always(f.flatnesspp, v); }},
        {"korvin_group_delay_peak_to_peak_ns", "gauge",
         "Group delay within +-3 MHz, peak to peak (ns).",
         [](F f, double& v) { return f.hasmeasurement && always(f.groupdelaypp, v); }},
        {"korvin_mask_pass", "gauge",
         "1 when the spectrum of the last locked capture passes the mask.",
         [](F f, double& v) { return f.hasmeasurement && always(f.maskpass, v); }},
        {"korvin_mask_margin_db", "gauge",
         "Smallest room between the spectrum and the mask (dB); negative fails.",
         [](F f, double& v) { return f.hasmeasurement && always(f.maskmargindb, v); }},
        {"korvin_flatness_pass", "gauge", "1 when the amplitude flatness is within its limits.",
         [](F f, double& v) { return f.hasmeasurement && always(f.flatnesspass, v); }},
        {"korvin_group_delay_pass", "gauge", "1 when the group delay is within its limits.",
         [](F f, double& v) { return f.hasmeasurement && always(f.groupdelaypass, v); }},
        {"korvin_mer_unequalised_db", "gauge",
         "MER a receiver without an equaliser would see (gain and phase only) (dB).",
         [](F f, double& v) { return measured(f, f.measures.merunequaliseddb, v); }},
        {"korvin_evm_ratio", "gauge", "RMS error vector over the RMS of the levels, equalised.",
         [](F f, double& v) { return measured(f, f.measures.evmpercent / 100, v); }},
        {"korvin_pilot_level_db", "gauge", "Pilot level relative to its nominal (dB).",
         [](F f, double& v) { return measured(f, f.measures.pilotleveldb, v); }},
        {"korvin_carrier_offset_hertz", "gauge", "Carrier offset from the channel centre (Hz).",
         [](F f, double& v) { return measured(f, f.measures.carrieroffsethz, v); }},
        {"korvin_symbol_rate_error_ratio", "gauge",
         "Symbol clock error relative to 10.762238 MHz (1e-6 is one ppm).",
         [](F f, double& v) { return measured(f, f.measures.symbolrateppm / 1e6, v); }},
        {"korvin_largest_echo_db", "gauge",
         "Strongest echo outside the main path, relative to it (dB).",
         [](F f, double& v) { return measured(f, f.measures.echodb, v); }},
        {"korvin_largest_echo_delay_seconds", "gauge",
         "Delay of the strongest echo (seconds); negative for a pre-echo.",
         [](F f, double& v) { return measured(f, f.measures.echous / 1e6, v); }},
        {"korvin_papr_db", "gauge", "Power exceeded by 0.1 % of the samples over the mean (dB).",
         [](F f, double& v) { return measured(f, f.measures.paprdb, v); }},
        {"korvin_mask_integrated_pass", "gauge",
         "1 when the 500 kHz integrated powers stay within the mask.",
         [](F f, double& v) { return measured(f, f.measures.maskintegratedpass, v); }},
        {"korvin_mask_integrated_margin_db", "gauge",
         "Smallest room between the integrated powers and the mask (dB); negative fails.",
         [](F f, double& v) { return measured(f, f.measures.maskintegratedmargindb, v); }},
        {"korvin_spurs", "gauge", "Discrete spurs found in the last locked capture.",
         [](F f, double& v) { return measured(f, static_cast<double>(f.measures.spurcount), v); }},
        {"korvin_last_good_capture_timestamp_seconds", "gauge",
         "Unix time of the last capture the engine could lock.",
         [](F f, double& v) { return f.hasmeasurement && always(f.lastgoodcapture, v); }},
        {"korvin_captures_total", "counter", "Complete captures taken.",
         [](F f, double& v) { return always(static_cast<double>(f.captures), v); }},
        {"korvin_captures_refused_total", "counter",
         "Captures the engine refused or could not lock (no signal).",
         [](F f, double& v) { return always(static_cast<double>(f.refused), v); }},
        {"korvin_timeouts_total", "counter", "Replies the exciter did not give in time.",
         [](F f, double& v) { return always(static_cast<double>(f.timeouts), v); }},
        {"korvin_reconnects_total", "counter", "Attempts to connect again after a loss.",
         [](F f, double& v) { return always(static_cast<double>(f.reconnects), v); }},
    };
    return all;
}

}  // namespace

std::string escapelabel(const std::string& v) {
    std::string out;
    for (char c : v) {
        if (c == '\\' || c == '"') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out;
}

std::string rendermetrics(const std::vector<std::string>& names,
                          const std::vector<ExciterFigures>& figures) {
    std::string out;
    out.reserve(6144 + names.size() * 2400);
    for (const Family& fam : families()) {
        out += std::string("# HELP ") + fam.name + " " + fam.help + "\n";
        out += std::string("# TYPE ") + fam.name + " " + fam.type + "\n";
        for (std::size_t i = 0; i < names.size(); ++i) {
            double v = 0;
            if (!fam.value(figures[i], v)) continue;
            out += std::string(fam.name) + "{exciter=\"" + escapelabel(names[i]) + "\"} " +
                   number(v) + "\n";
        }
    }
    const char* errors = "korvin_frame_errors_total";
    out += std::string("# HELP ") + errors + " Frames that failed their checks, by kind.\n";
    out += std::string("# TYPE ") + errors + " counter\n";
    for (std::size_t i = 0; i < names.size(); ++i) {
        for (std::size_t k = 0; k < kFrameErrorKinds.size(); ++k) {
            out += std::string(errors) + "{exciter=\"" + escapelabel(names[i]) + "\",kind=\"" +
                   kFrameErrorKinds[k] + "\"} " +
                   number(static_cast<double>(figures[i].frameerrors[k])) + "\n";
        }
    }
    return out;
}

void ExciterFigures::takemeasurement(const verdicts::Judgement& j, double unixtime) {
    hasmeasurement = true;
    merdb = j.merdb;
    flatnesspp = j.flatnesspp;
    groupdelaypp = j.groupdelaypp;
    maskpass = j.maskpass;
    maskmargindb = j.maskmargindb;
    flatnesspass = j.flatnesspass;
    groupdelaypass = j.groupdelaypass;
    measures = j.measures;
    lastgoodcapture = unixtime;
}

MetricsBoard::MetricsBoard(std::vector<std::string> names)
    : names_(std::move(names)), figures_(names_.size()) {}

void MetricsBoard::publish(std::size_t index, const ExciterFigures& f) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index < figures_.size()) figures_[index] = f;
}

std::string MetricsBoard::render() const {
    std::vector<ExciterFigures> copy;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        copy = figures_;
    }
    return rendermetrics(names_, copy);
}

}  // namespace watch
