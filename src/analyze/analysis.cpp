#include "analyze/analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "engine/dllexport.h"
#include "engine/verdicts.h"

namespace analyze {

namespace {

namespace fs = std::filesystem;

bool endswith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string fixed(double v, const char* unit) {
    if (!std::isfinite(v)) return std::string("-- ") + unit;
    char b[48];
    std::snprintf(b, sizeof b, "%.2f %s", v == 0 ? 0.0 : v, unit);
    return b;
}

const char* verdict(bool pass) {
    return pass ? "Pass" : "Fail";
}

// "  pilot -0.12 dB  carrier 3.10 Hz ... spurs 1 (1.25 MHz -62.00 dBc)", or "" without them.
std::string measurestext(const verdicts::Measures& m) {
    if (!m.present) return "";
    std::string t =
        "  pilot " + fixed(m.pilotleveldb, "dB") + "  carrier " + fixed(m.carrieroffsethz, "Hz") +
        "  symbol rate " + fixed(m.symbolrateppm, "ppm") + "  MER unequalised " +
        fixed(m.merunequaliseddb, "dB") + "  EVM " + fixed(m.evmpercent, "%") + "  echo " +
        fixed(m.echodb, "dB") + " at " + fixed(m.echous, "us") + "  PAPR " + fixed(m.paprdb, "dB") +
        "  integrated mask " + verdict(m.maskintegratedpass) + " (margin " +
        fixed(m.maskintegratedmargindb, "dB") + ")  spurs " + std::to_string(m.spurcount);
    for (std::size_t i = 0; i < m.spurcount; ++i)
        t += (i == 0 ? " (" : ", ") + fixed(m.spurs[i].mhz, "MHz") + " " +
             fixed(m.spurs[i].dbc, "dBc") + (i + 1 == m.spurcount ? ")" : "");
    return t;
}

}  // namespace

Analyser::Analyser() : buffers_(std::make_unique<MeasureBuffers>()) {}

void Analyser::measure(const records::Recording& r, Outcome& out) {
    out.facts = r.facts;
    splitsamples(r.capture.data(), buffers_->sampleblock);
    const int result = monitormain(buffers_->sampleblock, buffers_->resultblock, 2000.0, 0, 0);
    out.facts.measured = true;
    out.facts.engineresult = result;
    out.facts.judgement = verdicts::judge(buffers_->resultblock, result);
}

std::vector<Input> expandinputs(const std::vector<std::string>& args) {
    std::vector<Input> inputs;
    for (const std::string& a : args) {
        std::error_code ec;
        if (fs::is_directory(a, ec)) {
            std::vector<std::string> found;
            for (fs::directory_iterator it(a, ec), end; !ec && it != end; it.increment(ec))
                if (endswith(it->path().string(), ".sigmf-meta"))
                    found.push_back(it->path().string());
            std::sort(found.begin(), found.end());
            for (auto& f : found) inputs.push_back({f, false, {}});
            // A folder that gives nothing to measure must not pass as a clean run.
            if (ec)
                inputs.push_back({a, false, a + ": " + ec.message()});
            else if (found.empty())
                inputs.push_back({a, false, a + ": no recordings (*.sigmf-meta) in this folder"});
        } else if (endswith(a, ".sigmf-meta") || endswith(a, ".sigmf-data")) {
            inputs.push_back({a, false, {}});
        } else {
            inputs.push_back({a, true, {}});
        }
    }
    return inputs;
}

std::string textline(const Outcome& o) {
    if (!o.error.empty()) return o.file + ": error: " + o.error;
    const verdicts::Judgement& j = o.facts.judgement;
    if (!j.locked) return o.file + ": No signal";
    return o.file + ": " + verdict(j.pass()) + "  MER " + fixed(j.merdb, "dB") + "  flatness " +
           fixed(j.flatnesspp, "dB") + " p-p " + verdict(j.flatnesspass) + "  group delay " +
           fixed(j.groupdelaypp, "ns") + " p-p " + verdict(j.groupdelaypass) + "  mask " +
           verdict(j.maskpass) + " (margin " + fixed(j.maskmargindb, "dB") + ")" +
           measurestext(j.measures);
}

std::string jsonreport(const std::vector<Outcome>& outcomes) {
    nlohmann::json all = nlohmann::json::array();
    for (const Outcome& o : outcomes) {
        nlohmann::json e = {{"file", o.file}};
        if (!o.error.empty()) {
            e["error"] = o.error;
        } else {
            const verdicts::Judgement& j = o.facts.judgement;
            e["locked"] = j.locked;
            e["verdict"] = !j.locked ? "No signal" : verdict(j.pass());
            if (!o.facts.datetime.empty()) e["datetime"] = o.facts.datetime;
            if (!o.facts.exciter.empty()) e["exciter"] = o.facts.exciter;
            if (j.locked) records::putjudgement(e, j, "");
        }
        all.push_back(e);
    }
    return all.dump(2) + "\n";
}

int exitcode(const std::vector<Outcome>& outcomes) {
    int rc = 0;
    for (const Outcome& o : outcomes) {
        if (!o.error.empty()) return 2;
        if (!o.facts.judgement.pass()) rc = 1;
    }
    return rc;
}

}  // namespace analyze
