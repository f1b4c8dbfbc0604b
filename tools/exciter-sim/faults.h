// Switchable misbehaviour of the stand-in exciter, for testing how a client copes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// Picks replies by their running number (1 = the first reply the exciter sends after start):
// "N" or "N,M,..." selects those replies once; "every:N" selects every Nth.
struct Selector {
    std::vector<std::uint64_t> listed;
    std::uint64_t every = 0;

    bool matches(std::uint64_t reply) const;
    bool any() const { return every != 0 || !listed.empty(); }
    static std::optional<Selector> parse(const std::string& text);
};

struct Faults {
    Selector drop;       // reply not sent
    Selector badsum;     // checksum byte off by one
    Selector badtail;    // tail byte 0x95
    Selector badlength;  // length field one more than the frame
    Selector skip;       // packet n+2 instead of n+1
    Selector repeat;     // packet n again instead of n+1
    Selector split;      // frame sent in two writes, splitgapms apart
    Selector garbage;    // garbagebytes of noise instead of the reply
    Selector delayed = Selector{{}, 1};
    int delayms = 0;
    int splitgapms = 20;
    std::size_t garbagebytes = 64;
    int closeafter = 0;   // close the connection after sending this packet number
    bool silent = false;  // read and record, never reply
};

}  // namespace sim
