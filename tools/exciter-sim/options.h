// Command line of exciter-sim.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "faults.h"
#include "frames.h"
#include "vsbsignal.h"

namespace sim {

struct Options {
    std::string bind = "127.0.0.1";
    int port = 5700;
    int maxseconds = 0;  // 0: run until signalled
    std::string record;  // empty: stdout
    vsb::Impairments impairments;
    std::uint64_t seed = 1;
    int packets = kMaxPackets;
    bool shortpackets = false;
    std::optional<StatusBlock> status;  // fixed status block instead of computed figures
    Faults faults;
    bool help = false;
};

// Fills `out` from the arguments (without the program name). On a bad argument returns false
// and describes it in `error`.
bool parseoptions(const std::vector<std::string>& args, Options& out, std::string& error);

std::string helptext();

}  // namespace sim
