#include "options.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>

namespace sim {

namespace {

bool to_int(const std::string& text, long lo, long hi, long& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && out >= lo && out <= hi;
}

bool to_double(const std::string& text, double& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(out);
}

bool to_status(const std::string& text, StatusBlock& out) {
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.size() != 8 || ec != std::errc() || end != text.data() + text.size()) return false;
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * (3 - i)));
    return true;
}

using Setter = std::function<bool(Options&, const std::string&)>;

Setter integer(long lo, long hi, std::function<void(Options&, long)> set) {
    return [=](Options& o, const std::string& v) {
        long n = 0;
        if (!to_int(v, lo, hi, n)) return false;
        set(o, n);
        return true;
    };
}

Setter real(double vsb::Impairments::*field) {
    return [=](Options& o, const std::string& v) { return to_double(v, o.impairments.*field); };
}

Setter selector(Selector Faults::*field) {
    return [=](Options& o, const std::string& v) {
        auto sel = Selector::parse(v);
        if (sel) o.faults.*field = *sel;
        return sel.has_value();
    };
}

const std::map<std::string, Setter>& valued_options() {
    static const std::map<std::string, Setter> table = {
        {"bind", [](Options& o, const std::string& v) { return !(o.bind = v).empty(); }},
        {"port", integer(0, 65535, [](Options& o, long n) { o.port = int(n); })},
        {"max-seconds", integer(0, 86400, [](Options& o, long n) { o.max_seconds = int(n); })},
        {"record", [](Options& o, const std::string& v) { return !(o.record = v).empty(); }},
        {"snr", real(&vsb::Impairments::snr_db)},
        {"tilt", real(&vsb::Impairments::tilt_db)},
        {"ripple", real(&vsb::Impairments::ripple_db)},
        {"gd-ripple", real(&vsb::Impairments::gd_ripple_ns)},
        {"nonlinear", real(&vsb::Impairments::nonlinearity)},
        {"carrier-offset", real(&vsb::Impairments::carrier_offset_hz)},
        {"phase", real(&vsb::Impairments::carrier_phase)},
        {"timing", real(&vsb::Impairments::timing_offset)},
        {"level", real(&vsb::Impairments::level)},
        {"seed", integer(0, 1L << 62, [](Options& o, long n) { o.seed = std::uint64_t(n); })},
        {"packets", integer(1, kMaxPackets, [](Options& o, long n) { o.packets = int(n); })},
        {"status",
         [](Options& o, const std::string& v) {
             StatusBlock block{};
             if (!to_status(v, block)) return false;
             o.status = block;
             return true;
         }},
        {"drop", selector(&Faults::drop)},
        {"bad-sum", selector(&Faults::bad_sum)},
        {"bad-tail", selector(&Faults::bad_tail)},
        {"bad-length", selector(&Faults::bad_length)},
        {"skip", selector(&Faults::skip)},
        {"repeat", selector(&Faults::repeat)},
        {"split", selector(&Faults::split)},
        {"garbage", selector(&Faults::garbage)},
        {"delay-on", selector(&Faults::delayed)},
        {"delay", integer(0, 600000, [](Options& o, long n) { o.faults.delay_ms = int(n); })},
        {"split-gap",
         integer(0, 60000, [](Options& o, long n) { o.faults.split_gap_ms = int(n); })},
        {"garbage-bytes",
         integer(1, 4096, [](Options& o, long n) { o.faults.garbage_bytes = std::size_t(n); })},
        {"close-after",
         integer(1, kMaxPackets, [](Options& o, long n) { o.faults.close_after = int(n); })},
    };
    return table;
}

bool set_flag(const std::string& name, Options& out) {
    if (name == "help") return out.help = true;
    if (name == "short-packets") return out.short_packets = true;
    if (name == "silent") return out.faults.silent = true;
    return false;
}

}  // namespace

bool parse_options(const std::vector<std::string>& args, Options& out, std::string& error) {
    const auto& table = valued_options();
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!arg.starts_with("--")) {
            error = "unexpected argument '" + arg + "'";
            return false;
        }
        std::string name = arg.substr(2);
        std::optional<std::string> value;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        const auto it = table.find(name);
        if (it == table.end()) {
            if (!value && set_flag(name, out)) continue;
            error = "unknown option '" + arg + "'";
            return false;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                error = "option --" + name + " needs a value";
                return false;
            }
            value = args[++i];
        }
        if (!it->second(out, *value)) {
            error = "bad value '" + *value + "' for --" + name;
            return false;
        }
    }
    return true;
}

}  // namespace sim
