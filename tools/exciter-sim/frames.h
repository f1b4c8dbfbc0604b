// Byte layout of the exciter protocol, from the exciter's side: the frames it builds and a
// tolerant reader for the 10-byte frames a client sends.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sim {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kFrameId = 0x80;
constexpr std::uint8_t kFrameHeader = 0x46;
constexpr std::uint8_t kFrameTail = 0x96;
constexpr std::size_t kClientFrameSize = 10;
constexpr std::size_t kPacketData = 1024;
constexpr std::size_t kLongPacketSize = 1038;  // with the status block
constexpr std::size_t kShortPacketSize = 1034;
constexpr std::size_t kStatusFrameSize = 14;
constexpr std::size_t kCaptureBytes = 32768;
constexpr int kMaxPackets = 32;
constexpr std::uint16_t kAckFlag = 0x8000;
constexpr std::uint16_t kCodeMask = 0x0FFF;

using StatusBlock = std::array<std::uint8_t, 4>;

// Low 8 bits of the sum of the bytes.
std::uint8_t checksum(std::span<const std::uint8_t> bytes);

// Sample packet `number` of `count`: the 1024 bytes of `data`, then the status block unless
// `shortpacket`. `data` must hold exactly kPacketData bytes.
Bytes buildpacket(int count, int number, std::span<const std::uint8_t> data,
                  const StatusBlock& status, bool shortpacket);

Bytes buildstatusframe(const StatusBlock& status);

// Any 10-byte client frame, with a correct checksum and tail.
Bytes buildclientframe(std::uint16_t function, std::uint16_t index);

// What a well-formed 10-byte client frame asks for.
struct ClientFrame {
    enum class Kind { CaptureRequest, StatusRequest, Ack, Unknown };
    Kind kind = Kind::Unknown;
    std::uint16_t function = 0;
    int count = 0;   // index word, low byte
    int number = 0;  // index word, high byte
};

ClientFrame classify(std::span<const std::uint8_t, kClientFrameSize> frame);

// Reassembles client frames from a byte stream that may arrive split or coalesced. Bytes that
// cannot start a frame, and 10-byte frames with a bad checksum, tail or length, come out as
// rejects so that they can be logged; the reader then carries on after them.
class FrameReader {
  public:
    struct Item {
        bool ok = false;
        Bytes bytes;         // the frame, or the rejected bytes
        std::string reason;  // why rejected
    };

    void feed(std::span<const std::uint8_t> bytes);
    // Next complete frame or reject; false when more bytes are needed.
    bool next(Item& item);
    void clear() { buffer_.clear(); }
    std::size_t pending() const { return buffer_.size(); }

  private:
    Bytes take(std::size_t n);
    bool nextreject(Item& item, std::size_t n, std::string reason);

    Bytes buffer_;
};

std::uint16_t readu16(std::span<const std::uint8_t> bytes, std::size_t offset);

// "80 46 0A ..." in upper-case hex.
std::string hex(std::span<const std::uint8_t> bytes);

}  // namespace sim
