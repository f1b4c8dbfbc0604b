#include "records/sigmf.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>

#include "platform/filereplace.h"

namespace records {

namespace {

using nlohmann::json;

constexpr const char* kDatatype = "ci16_le";
constexpr const char* kData = ".sigmf-data";
constexpr const char* kMeta = ".sigmf-meta";

bool endswith(const std::string& s, const char* tail) {
    const std::string t(tail);
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

// JSON has no NaN or infinity: a figure that is not finite is written as null.
json number(double v) {
    return std::isfinite(v) ? json(v) : json(nullptr);
}

double numberof(const json& j, const char* key) {
    const auto it = j.find(key);
    return it != j.end() && it->is_number() ? it->get<double>() : NAN;
}

bool boolof(const json& j, const char* key) {
    const auto it = j.find(key);
    return it != j.end() && it->is_boolean() && it->get<bool>();
}

// The measures' figures by their JSON names (after the prefix).
struct MeasureKey {
    const char* name;
    double verdicts::Measures::*value;
};
constexpr MeasureKey kMeasureKeys[] = {
    {"pilot_level_db", &verdicts::Measures::pilotleveldb},
    {"carrier_offset_hz", &verdicts::Measures::carrieroffsethz},
    {"symbol_rate_error_ppm", &verdicts::Measures::symbolrateppm},
    {"mer_unequalised_db", &verdicts::Measures::merunequaliseddb},
    {"evm_percent", &verdicts::Measures::evmpercent},
    {"largest_echo_db", &verdicts::Measures::echodb},
    {"largest_echo_us", &verdicts::Measures::echous},
    {"papr_db", &verdicts::Measures::paprdb},
    {"mask_integrated_margin_db", &verdicts::Measures::maskintegratedmargindb},
};

void putmeasures(json& into, const verdicts::Measures& m, const std::string& prefix) {
    for (const MeasureKey& k : kMeasureKeys) into[prefix + k.name] = number(m.*k.value);
    into[prefix + "mask_integrated_pass"] = m.maskintegratedpass;
    json spurs = json::array();
    for (std::size_t i = 0; i < m.spurcount; ++i)
        spurs.push_back({{"mhz", number(m.spurs[i].mhz)}, {"dbc", number(m.spurs[i].dbc)}});
    into[prefix + "spurs"] = spurs;
}

// Measures written by putmeasures; none present when the annotation has no "spurs" list.
verdicts::Measures getmeasures(const json& from, const std::string& prefix) {
    verdicts::Measures m;
    const auto spurs = from.find(prefix + "spurs");
    if (spurs == from.end() || !spurs->is_array()) return m;
    m.present = true;
    for (const MeasureKey& k : kMeasureKeys) m.*k.value = numberof(from, (prefix + k.name).c_str());
    m.maskintegratedpass = boolof(from, (prefix + "mask_integrated_pass").c_str());
    for (const json& s : *spurs) {
        if (m.spurcount == m.spurs.size()) break;
        if (s.is_object()) m.spurs[m.spurcount++] = {numberof(s, "mhz"), numberof(s, "dbc")};
    }
    return m;
}

std::string label(const Facts& f) {
    if (!f.measured) return "Not measured";
    if (!f.judgement.locked) return "No signal";
    return f.judgement.pass() ? "Pass" : "Fail";
}

bool readfile(const std::string& path, std::string& text, std::size_t most) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text.assign(most + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return true;
}

}  // namespace

std::string basename(const std::string& path) {
    for (const char* tail : {kData, kMeta, ".sigmf-"})
        if (endswith(path, tail)) return path.substr(0, path.size() - std::string(tail).size());
    return path;
}

std::string isodatetime(std::time_t seconds, int milliseconds) {
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char buf[40];
    const std::size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &tm);
    std::snprintf(buf + n, sizeof buf - n, ".%03dZ", milliseconds);
    return buf;
}

std::string metatext(const Facts& f) {
    json global = {
        {"core:datatype", kDatatype},
        {"core:sample_rate", kSampleRate},
        {"core:version", "1.0.0"},
        {"core:num_channels", 1},
        {"core:recorder", f.recorder},
        {"core:description", "8-VSB exciter output, one capture"},
        {"core:extensions",
         json::array({{{"name", "korvin"}, {"version", "1.0.0"}, {"optional", true}}})},
    };
    if (!f.address.empty()) global["core:hw"] = "exciter at " + f.address;
    if (!f.exciter.empty()) global["korvin:exciter"] = f.exciter;
    if (!f.address.empty()) global["korvin:address"] = f.address;
    if (f.hasstatus) {
        global["korvin:status_snr_db"] = f.status[1] / 2.0;
        global["korvin:status_imd_lower_db"] = f.status[2] / 2.0;
        global["korvin:status_imd_upper_db"] = f.status[3] / 2.0;
    }
    json capture = {{"core:sample_start", 0}};
    if (!f.datetime.empty()) capture["core:datetime"] = f.datetime;
    json note = {{"core:sample_start", 0},
                 {"core:sample_count", kSamples},
                 {"core:label", label(f)},
                 {"core:generator", "korvin measurement engine"}};
    if (f.measured) {
        const verdicts::Judgement& j = f.judgement;
        note["korvin:engine_result"] = f.engineresult;
        note["korvin:locked"] = j.locked;
        if (j.locked) putjudgement(note, j, "korvin:");
    }
    const json meta = {{"global", global},
                       {"captures", json::array({capture})},
                       {"annotations", json::array({note})}};
    return meta.dump(2) + "\n";
}

void putjudgement(json& into, const verdicts::Judgement& j, const std::string& prefix) {
    into[prefix + "mer_db"] = number(j.merdb);
    into[prefix + "flatness_pp_db"] = number(j.flatnesspp);
    into[prefix + "group_delay_pp_ns"] = number(j.groupdelaypp);
    into[prefix + "mask_margin_db"] = number(j.maskmargindb);
    into[prefix + "mask_pass"] = j.maskpass;
    into[prefix + "flatness_pass"] = j.flatnesspass;
    into[prefix + "group_delay_pass"] = j.groupdelaypass;
    if (j.measures.present) putmeasures(into, j.measures, prefix);
}

bool writerecording(const std::string& base, const std::uint8_t* capture, const Facts& facts,
                    std::string& error) {
    const std::string data(reinterpret_cast<const char*>(capture), kDataBytes);
    if (!platform::replacefile(base + kData, data)) {
        error = "cannot write " + base + kData;
        return false;
    }
    if (!platform::replacefile(base + kMeta, metatext(facts))) {
        // A data file alone is no recording: nothing would ever read it or count it.
        std::remove((base + kData).c_str());
        error = "cannot write " + base + kMeta;
        return false;
    }
    return true;
}

bool readrecording(const std::string& path, Recording& out, std::string& error) {
    const std::string base = basename(path);
    const std::string metafile = base + kMeta, datafile = base + kData;
    std::string text;
    if (!readfile(metafile, text, 1 << 20)) {
        error = metafile + ": cannot be read";
        return false;
    }
    const json meta = json::parse(text, nullptr, false);
    if (meta.is_discarded() || !meta.is_object() || !meta.contains("global") ||
        !meta["global"].is_object()) {
        error = metafile + ": not SigMF metadata (broken JSON or no \"global\")";
        return false;
    }
    const json& g = meta["global"];
    if (g.value("core:datatype", std::string()) != kDatatype) {
        error = metafile + ": datatype is not " + std::string(kDatatype);
        return false;
    }
    if (!readfile(datafile, text, kDataBytes) || text.size() != kDataBytes) {
        error = datafile + ": not " + std::to_string(kSamples) + " samples of " + kDatatype;
        return false;
    }
    out.capture.assign(text.begin(), text.end());
    Facts& f = out.facts;
    f = Facts{};
    f.recorder = g.value("core:recorder", std::string());
    f.exciter = g.value("korvin:exciter", std::string());
    f.address = g.value("korvin:address", std::string());
    if (g.contains("korvin:status_snr_db")) {
        f.hasstatus = true;
        f.status = {
            0, static_cast<std::uint8_t>(std::lround(numberof(g, "korvin:status_snr_db") * 2)),
            static_cast<std::uint8_t>(std::lround(numberof(g, "korvin:status_imd_lower_db") * 2)),
            static_cast<std::uint8_t>(std::lround(numberof(g, "korvin:status_imd_upper_db") * 2))};
    }
    const json& caps = meta.value("captures", json::array());
    if (caps.is_array() && !caps.empty() && caps[0].is_object())
        f.datetime = caps[0].value("core:datetime", std::string());
    const json& notes = meta.value("annotations", json::array());
    if (notes.is_array() && !notes.empty() && notes[0].is_object() &&
        notes[0].contains("korvin:locked")) {
        const json& n = notes[0];
        f.measured = true;
        f.engineresult = n.value("korvin:engine_result", 0);
        f.judgement.locked = boolof(n, "korvin:locked");
        f.judgement.merdb = numberof(n, "korvin:mer_db");
        f.judgement.flatnesspp = numberof(n, "korvin:flatness_pp_db");
        f.judgement.groupdelaypp = numberof(n, "korvin:group_delay_pp_ns");
        f.judgement.maskmargindb = numberof(n, "korvin:mask_margin_db");
        f.judgement.maskpass = boolof(n, "korvin:mask_pass");
        f.judgement.flatnesspass = boolof(n, "korvin:flatness_pass");
        f.judgement.groupdelaypass = boolof(n, "korvin:group_delay_pass");
        if (f.judgement.locked) f.judgement.measures = getmeasures(n, "korvin:");
    }
    return true;
}

}  // namespace records
