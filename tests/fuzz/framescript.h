// The byte format the frame-rules fuzz target takes: commands, each one byte (taken modulo the
// number of commands) followed by its arguments. As in the read-path target, bytes the exciter
// "sends" collect in an outbox and Deliver hands them over in pieces of any size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvin::fuzz::frames {

// Flags of a Packet command.
constexpr std::uint8_t kShort = 0x01;      // 1034 bytes, no status block
constexpr std::uint8_t kBadSum = 0x02;     // checksum off by one
constexpr std::uint8_t kBadTail = 0x04;    // tail 0x95
constexpr std::uint8_t kOddId = 0x08;      // byte 0 from the next argument
constexpr std::uint8_t kHighBits = 0x10;   // bits 12-15 of the function word from the next argument
constexpr std::uint8_t kOddLength = 0x20;  // length field moved by the next argument (signed)

enum Op : std::uint8_t {
    Packet,     // count, number, flags, data seed, 4 status bytes[, id][, high bits][, delta]
    Status,     // index low, index high, 4 status bytes
    Framed,     // u16 function, count, number, u8 length, payload: sum and tail made right
    Raw,        // u16 length, bytes: appended as they stand
    Deliver,    // u16 length: that many outbox bytes arrive (0 = all); none left = bare event
    Advance,    // u8: the clock moves on 10 ms per unit
    Open,       // u8: the measurement button of kind 1 + value % 5 is clicked
    Close,      // the open window closes
    Engine,     // u8: what the engine returns from now on (0 success)
    PeerClose,  // the exciter closes the connection
    Connect,    // Connect is clicked and the connection accepted
    OpCount
};

// Builds scripts (the seed generator).
class FrameScript {
  public:
    FrameScript& op(Op o) { return put(o); }
    FrameScript& put(std::uint8_t v) {
        b_.push_back(v);
        return *this;
    }
    FrameScript& put16(std::size_t v) {
        put(static_cast<std::uint8_t>(v & 0xFF));
        return put(static_cast<std::uint8_t>(v >> 8));
    }
    FrameScript& packet(int count, int number, std::uint8_t flags = 0) {
        op(Packet).put(static_cast<std::uint8_t>(count)).put(static_cast<std::uint8_t>(number));
        return put(flags)
            .put(static_cast<std::uint8_t>(number))
            .put(0)
            .put(0x47)
            .put(0x68)
            .put(0x67);
    }
    FrameScript& status() { return op(Status).put(0).put(0).put(0).put(0x47).put(0x68).put(0x67); }
    FrameScript& deliver(std::size_t n = 0) { return op(Deliver).put16(n); }
    FrameScript& advance(int ms) { return op(Advance).put(static_cast<std::uint8_t>(ms / 10)); }
    FrameScript& open(int kind) { return op(Open).put(static_cast<std::uint8_t>(kind - 1)); }
    const std::vector<std::uint8_t>& bytes() const { return b_; }

  private:
    std::vector<std::uint8_t> b_;
};

}  // namespace korvin::fuzz::frames
