// The byte format the read-path fuzz target takes: a settings byte, then commands. Each command
// is one byte (taken modulo the number of commands) followed by its arguments. Bytes the
// exciter "sends" are first collected in an outbox; Deliver hands them to the socket in
// pieces of any size, so frames arrive split or coalesced as over TCP.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvin::fuzz {

// Settings byte.
constexpr std::uint8_t kSetTrafficLog = 0x01;  // SAVE_COMM switch on in config.ini
constexpr std::uint8_t kSetAutoSave = 0x02;    // AUTO_SAVE switch on in config.ini
constexpr int kModeShift = 2;                  // bits 2-3: 0 normal, 1 debug, 2 super

enum Op : std::uint8_t {
    Raw,         // u16 length, bytes: appended to the outbox as they stand
    Packet,      // count, number, flags (bit 0 short, bit 1 real signal), 4 status bytes
    Status,      // 4 status bytes: a status frame
    Framed,      // u16 function, count, number, u8 length, payload: sum and tail made right
    Deliver,     // u16 length: that many outbox bytes arrive (0 = all); none left = bare event
    Advance,     // u8: the clock moves on by 20 ms per unit
    Open,        // u8: the measurement button of kind 1 + value % 5 is clicked
    Close,       // the open measurement window closes
    PeerClose,   // the exciter closes the connection
    Connect,     // Connect is clicked and the connection accepted
    Error,       // u8: the socket reports that error code
    Disconnect,  // Disconnect is clicked
    OpCount
};

// Builds scripts (the seed generator).
class Script {
  public:
    explicit Script(std::uint8_t settings = 0) { b_.push_back(settings); }
    Script& op(Op o) { return put(o); }
    Script& put(std::uint8_t v) {
        b_.push_back(v);
        return *this;
    }
    Script& put16(std::size_t v) {
        put(static_cast<std::uint8_t>(v & 0xFF));
        return put(static_cast<std::uint8_t>(v >> 8));
    }
    Script& raw(const std::vector<std::uint8_t>& bytes) {
        op(Raw).put16(bytes.size());
        b_.insert(b_.end(), bytes.begin(), bytes.end());
        return *this;
    }
    Script& packet(int count, int number, std::uint8_t flags = 2) {
        op(Packet).put(static_cast<std::uint8_t>(count)).put(static_cast<std::uint8_t>(number));
        return put(flags).put(0).put(0x47).put(0x68).put(0x67);
    }
    Script& deliver(std::size_t n = 0) { return op(Deliver).put16(n); }
    Script& advance(int ms) { return op(Advance).put(static_cast<std::uint8_t>(ms / 20)); }
    Script& open(int kind) { return op(Open).put(static_cast<std::uint8_t>(kind - 1)); }
    const std::vector<std::uint8_t>& bytes() const { return b_; }

  private:
    std::vector<std::uint8_t> b_;
};

}  // namespace korvin::fuzz
