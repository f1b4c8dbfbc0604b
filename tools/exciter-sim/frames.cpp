#include "frames.h"

#include <algorithm>
#include <cstdio>

namespace sim {

namespace {

void putu16(Bytes& frame, std::size_t offset, std::uint16_t value) {
    frame[offset] = static_cast<std::uint8_t>(value & 0xFF);
    frame[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

// Header with the length field set; checksum and tail are filled in by seal().
Bytes startframe(std::size_t length, std::uint16_t function, std::uint16_t index) {
    Bytes frame(length, 0);
    frame[0] = kFrameId;
    frame[1] = kFrameHeader;
    putu16(frame, 2, static_cast<std::uint16_t>(length));
    putu16(frame, 4, function);
    putu16(frame, 6, index);
    return frame;
}

void seal(Bytes& frame) {
    const std::size_t n = frame.size();
    frame[n - 2] = checksum(std::span(frame).first(n - 2));
    frame[n - 1] = kFrameTail;
}

}  // namespace

std::uint8_t checksum(std::span<const std::uint8_t> bytes) {
    unsigned sum = 0;
    for (std::uint8_t b : bytes) sum += b;
    return static_cast<std::uint8_t>(sum & 0xFF);
}

std::uint16_t readu16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    if (offset + 1 >= bytes.size()) return 0;
    return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

Bytes buildpacket(int count, int number, std::span<const std::uint8_t> data,
                  const StatusBlock& status, bool shortpacket) {
    const std::size_t length = shortpacket ? kShortPacketSize : kLongPacketSize;
    const auto index = static_cast<std::uint16_t>((count & 0xFF) | ((number & 0xFF) << 8));
    Bytes frame = startframe(length, 0x0001, index);
    std::copy_n(data.begin(), std::min(data.size(), kPacketData), frame.begin() + 8);
    if (!shortpacket) std::copy(status.begin(), status.end(), frame.begin() + 8 + kPacketData);
    seal(frame);
    return frame;
}

Bytes buildstatusframe(const StatusBlock& status) {
    Bytes frame = startframe(kStatusFrameSize, 0x0002, 0);
    std::copy(status.begin(), status.end(), frame.begin() + 8);
    seal(frame);
    return frame;
}

Bytes buildclientframe(std::uint16_t function, std::uint16_t index) {
    Bytes frame = startframe(kClientFrameSize, function, index);
    seal(frame);
    return frame;
}

ClientFrame classify(std::span<const std::uint8_t, kClientFrameSize> frame) {
    ClientFrame f;
    f.function = readu16(frame, 4);
    f.count = frame[6];
    f.number = frame[7];
    const int code = f.function & kCodeMask;
    const bool ack = (f.function & kAckFlag) != 0;
    if (ack && code == 1) {
        f.kind = ClientFrame::Kind::Ack;
    } else if (!ack && code == 1) {
        f.kind = ClientFrame::Kind::CaptureRequest;
    } else if (!ack && code == 2) {
        f.kind = ClientFrame::Kind::StatusRequest;
    }
    return f;
}

void FrameReader::feed(std::span<const std::uint8_t> bytes) {
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

Bytes FrameReader::take(std::size_t n) {
    n = std::min(n, buffer_.size());
    Bytes out(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
    return out;
}

bool FrameReader::nextreject(Item& item, std::size_t n, std::string reason) {
    item.ok = false;
    item.bytes = take(n);
    item.reason = std::move(reason);
    return true;
}

bool FrameReader::next(Item& item) {
    if (buffer_.empty()) return false;
    // Resynchronise on the next ID byte after a bad start.
    const auto nextid = [this] {
        auto it = std::find(buffer_.begin() + 1, buffer_.end(), kFrameId);
        return static_cast<std::size_t>(it - buffer_.begin());
    };
    if (buffer_[0] != kFrameId) return nextreject(item, nextid(), "id");
    if (buffer_.size() < 2) return false;
    if (buffer_[1] != kFrameHeader) return nextreject(item, nextid(), "header");
    if (buffer_.size() < 4) return false;
    if (readu16(buffer_, 2) != kClientFrameSize) return nextreject(item, nextid(), "length");
    if (buffer_.size() < kClientFrameSize) return false;
    const std::span<const std::uint8_t> frame(buffer_.data(), kClientFrameSize);
    if (frame[8] != checksum(frame.first(8))) return nextreject(item, kClientFrameSize, "sum");
    if (frame[9] != kFrameTail) return nextreject(item, kClientFrameSize, "tail");
    item.ok = true;
    item.bytes = take(kClientFrameSize);
    item.reason.clear();
    return true;
}

std::string hex(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size() * 3);
    char cell[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(cell, sizeof cell, i ? " %02X" : "%02X", bytes[i]);
        out += cell;
    }
    return out;
}

}  // namespace sim
