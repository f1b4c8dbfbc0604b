#include "session.h"

#include <algorithm>
#include <cstdio>

namespace sim {

namespace {

std::string hex2(unsigned v) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", v & 0xFFu);
    return text;
}

std::string replytag(std::uint64_t reply) {
    return " reply=" + std::to_string(reply);
}

}  // namespace

std::string describetx(std::span<const std::uint8_t> frame) {
    const std::size_t n = frame.size();
    const bool packet = (n == kLongPacketSize || n == kShortPacketSize) && frame[0] == kFrameId &&
                        frame[1] == kFrameHeader && (readu16(frame, 4) & kCodeMask) == 1;
    if (!packet) return "TX " + std::to_string(n) + " " + hex(frame);
    char text[160];
    std::snprintf(text, sizeof text, "TX %zu fn=%04X count=%u no=%u sum=%02X tail=%02X len=%u", n,
                  readu16(frame, 4), frame[6], frame[7], frame[n - 2], frame[n - 1],
                  readu16(frame, 2));
    std::string line = text;
    if (n == kLongPacketSize) {
        line += " status=";
        for (std::size_t i = 0; i < 4; ++i) line += hex2(frame[8 + kPacketData + i]);
    }
    return line;
}

Session::Session(const Options& options, CaptureSource capture, const StatusBlock& status,
                 Sink record)
    : options_(options),
      capture_(std::move(capture)),
      status_(status),
      record_(std::move(record)),
      capturebytes_(kCaptureBytes, 0) {}

std::vector<Chunk> Session::receive(std::span<const std::uint8_t> bytes) {
    std::vector<Chunk> out;
    reader_.feed(bytes);
    FrameReader::Item item;
    while (reader_.next(item)) {
        if (!item.ok) {
            note("BAD " + std::to_string(item.bytes.size()) + " " + hex(item.bytes) +
                 " reason=" + item.reason);
            continue;
        }
        note("RX " + std::to_string(item.bytes.size()) + " " + hex(item.bytes));
        handle(classify(std::span<const std::uint8_t, kClientFrameSize>(item.bytes)), out);
    }
    return out;
}

void Session::reset() {
    if (reader_.pending() != 0) {
        note("BAD " + std::to_string(reader_.pending()) + " reason=incomplete");
    }
    reader_.clear();
    capturing_ = false;
    lastsent_ = 0;
}

void Session::handle(const ClientFrame& frame, std::vector<Chunk>& out) {
    switch (frame.kind) {
        case ClientFrame::Kind::CaptureRequest:
            capture_(capturebytes_.data(), capturebytes_.size());
            capturing_ = true;
            note("CAPTURE " + std::to_string(++captures_));
            sendpacket(1, out);
            break;
        case ClientFrame::Kind::StatusRequest:
            sendstatus(out);
            break;
        case ClientFrame::Kind::Ack:
            onack(frame, out);
            break;
        case ClientFrame::Kind::Unknown:
            note("IGNORE unknown function " + hex2(frame.function >> 8) + hex2(frame.function));
            break;
    }
}

void Session::onack(const ClientFrame& frame, std::vector<Chunk>& out) {
    if (!capturing_ || frame.count != options_.packets || frame.number != lastsent_) {
        note("IGNORE ack count=" + std::to_string(frame.count) +
             " no=" + std::to_string(frame.number) +
             " awaiting=" + std::to_string(capturing_ ? lastsent_ : 0));
        return;
    }
    if (frame.number >= options_.packets) {
        capturing_ = false;
        note("DONE capture=" + std::to_string(captures_));
        return;
    }
    sendpacket(frame.number + 1, out);
}

void Session::sendpacket(int wanted, std::vector<Chunk>& out) {
    const std::uint64_t reply = ++replies_;
    if (options_.faults.silent) return note("FAULT silent" + replytag(reply));
    int number = wanted;
    if (options_.faults.skip.matches(reply)) {
        number = wanted + 1;
        note("FAULT skip" + replytag(reply) + " no=" + std::to_string(number));
    } else if (options_.faults.repeat.matches(reply) && wanted > 1) {
        number = wanted - 1;
        note("FAULT repeat" + replytag(reply) + " no=" + std::to_string(number));
    }
    // A skipped last packet carries a number past the count; its data is the last block.
    const int block = std::clamp(number, 1, kMaxPackets) - 1;
    const auto data = std::span(capturebytes_).subspan(block * kPacketData, kPacketData);
    lastsent_ = number;
    emit(buildpacket(options_.packets, number, data, status_, options_.shortpackets), reply, out);
    if (options_.faults.closeafter == number) {
        note("FAULT close after=" + std::to_string(number));
        if (out.empty()) out.emplace_back();
        out.back().closeafter = true;
    }
}

void Session::sendstatus(std::vector<Chunk>& out) {
    const std::uint64_t reply = ++replies_;
    if (options_.faults.silent) return note("FAULT silent" + replytag(reply));
    emit(buildstatusframe(status_), reply, out);
}

void Session::emit(Bytes frame, std::uint64_t reply, std::vector<Chunk>& out) {
    const Faults& f = options_.faults;
    if (f.drop.matches(reply)) return note("FAULT drop" + replytag(reply));
    if (f.garbage.matches(reply)) {
        frame = garbage(f.garbagebytes);
        note("FAULT garbage" + replytag(reply) + " bytes=" + std::to_string(frame.size()));
    } else {
        corrupt(frame, reply);
    }
    note(describetx(frame));
    const int delay = f.delayed.matches(reply) ? f.delayms : 0;
    if (delay > 0) note("FAULT delay" + replytag(reply) + " ms=" + std::to_string(delay));
    if (!f.split.matches(reply) || frame.size() < 2) {
        out.push_back({std::move(frame), delay, false});
        return;
    }
    const auto half = static_cast<std::ptrdiff_t>(frame.size() / 2);
    note("FAULT split" + replytag(reply) + " at=" + std::to_string(half) +
         " gap=" + std::to_string(f.splitgapms));
    out.push_back({Bytes(frame.begin(), frame.begin() + half), delay, false});
    out.push_back({Bytes(frame.begin() + half, frame.end()), f.splitgapms, false});
}

void Session::corrupt(Bytes& frame, std::uint64_t reply) {
    const Faults& f = options_.faults;
    const std::size_t n = frame.size();
    if (f.badlength.matches(reply)) {
        const auto length = static_cast<std::uint16_t>(n + 1);
        frame[2] = static_cast<std::uint8_t>(length & 0xFF);
        frame[3] = static_cast<std::uint8_t>(length >> 8);
        frame[n - 2] = checksum(std::span(frame).first(n - 2));  // only the length is wrong
        note("FAULT bad-length" + replytag(reply) + " len=" + std::to_string(length));
    }
    if (f.badsum.matches(reply)) {
        ++frame[n - 2];
        note("FAULT bad-sum" + replytag(reply) + " sum=" + hex2(frame[n - 2]));
    }
    if (f.badtail.matches(reply)) {
        frame[n - 1] = 0x95;
        note("FAULT bad-tail" + replytag(reply) + " tail=95");
    }
}

// Deterministic noise that never starts like a frame.
Bytes Session::garbage(std::size_t n) {
    Bytes bytes(n);
    for (auto& b : bytes) {
        noise_ ^= noise_ << 13;
        noise_ ^= noise_ >> 17;
        noise_ ^= noise_ << 5;
        b = static_cast<std::uint8_t>(noise_ >> 24);
    }
    bytes[0] = 0xA5;
    return bytes;
}

}  // namespace sim
