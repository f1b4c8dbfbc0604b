#include "options.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>

namespace sim {

namespace {

bool toint(const std::string& text, long lo, long hi, long& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && out >= lo && out <= hi;
}

bool todouble(const std::string& text, double& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(out);
}

bool tostatus(const std::string& text, StatusBlock& out) {
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.size() != 8 || ec != std::errc() || end != text.data() + text.size()) return false;
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * (3 - i)));
    return true;
}

// "DB,US": an echo no stronger than the main path, within the delay the shaping filter carries.
bool toecho(const std::string& text, vsb::Echo& out) {
    const auto comma = text.find(',');
    if (comma == std::string::npos) return false;
    return todouble(text.substr(0, comma), out.db) && todouble(text.substr(comma + 1), out.us) &&
           out.db <= 0 && std::abs(out.us) <= vsb::kMaxEchoUs;
}

using Setter = std::function<bool(Options&, const std::string&)>;

Setter integer(long lo, long hi, std::function<void(Options&, long)> set) {
    return [=](Options& o, const std::string& v) {
        long n = 0;
        if (!toint(v, lo, hi, n)) return false;
        set(o, n);
        return true;
    };
}

Setter real(double vsb::Impairments::*field) {
    return [=](Options& o, const std::string& v) { return todouble(v, o.impairments.*field); };
}

Setter selector(Selector Faults::*field) {
    return [=](Options& o, const std::string& v) {
        auto sel = Selector::parse(v);
        if (sel) o.faults.*field = *sel;
        return sel.has_value();
    };
}

const std::map<std::string, Setter>& valuedoptions() {
    static const std::map<std::string, Setter> table = {
        {"bind", [](Options& o, const std::string& v) { return !(o.bind = v).empty(); }},
        {"port", integer(0, 65535, [](Options& o, long n) { o.port = int(n); })},
        {"max-seconds", integer(0, 86400, [](Options& o, long n) { o.maxseconds = int(n); })},
        {"record", [](Options& o, const std::string& v) { return !(o.record = v).empty(); }},
        {"snr", real(&vsb::Impairments::snrdb)},
        {"tilt", real(&vsb::Impairments::tiltdb)},
        {"ripple", real(&vsb::Impairments::rippledb)},
        {"gd-ripple", real(&vsb::Impairments::gdripplens)},
        {"nonlinear", real(&vsb::Impairments::nonlinearity)},
        {"echo",
         [](Options& o, const std::string& v) {
             vsb::Echo echo;
             if (!toecho(v, echo)) return false;
             o.impairments.echoes.push_back(echo);
             return true;
         }},
        {"carrier-offset", real(&vsb::Impairments::carrieroffsethz)},
        {"phase", real(&vsb::Impairments::carrierphase)},
        {"timing", real(&vsb::Impairments::timingoffset)},
        {"level", real(&vsb::Impairments::level)},
        {"seed", integer(0, 1L << 62, [](Options& o, long n) { o.seed = std::uint64_t(n); })},
        {"packets", integer(1, kMaxPackets, [](Options& o, long n) { o.packets = int(n); })},
        {"status",
         [](Options& o, const std::string& v) {
             StatusBlock block{};
             if (!tostatus(v, block)) return false;
             o.status = block;
             return true;
         }},
        {"drop", selector(&Faults::drop)},
        {"bad-sum", selector(&Faults::badsum)},
        {"bad-tail", selector(&Faults::badtail)},
        {"bad-length", selector(&Faults::badlength)},
        {"skip", selector(&Faults::skip)},
        {"repeat", selector(&Faults::repeat)},
        {"split", selector(&Faults::split)},
        {"garbage", selector(&Faults::garbage)},
        {"delay-on", selector(&Faults::delayed)},
        {"delay", integer(0, 600000, [](Options& o, long n) { o.faults.delayms = int(n); })},
        {"split-gap", integer(0, 60000, [](Options& o, long n) { o.faults.splitgapms = int(n); })},
        {"garbage-bytes",
         integer(1, 4096, [](Options& o, long n) { o.faults.garbagebytes = std::size_t(n); })},
        {"close-after",
         integer(1, kMaxPackets, [](Options& o, long n) { o.faults.closeafter = int(n); })},
    };
    return table;
}

bool setflag(const std::string& name, Options& out) {
    if (name == "help") return out.help = true;
    if (name == "short-packets") return out.shortpackets = true;
    if (name == "silent") return out.faults.silent = true;
    return false;
}

}  // namespace

bool parseoptions(const std::vector<std::string>& args, Options& out, std::string& error) {
    const auto& table = valuedoptions();
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
            if (!value && setflag(name, out)) continue;
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
