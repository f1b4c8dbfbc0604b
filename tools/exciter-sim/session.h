// The exciter's side of the protocol for one process: reads client frames, answers with
// sample packets and status frames, and applies the configured faults. No sockets here: the
// server writes the returned chunks.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "frames.h"
#include "options.h"

namespace sim {

// Bytes to write after waiting delayms (counted from the previous chunk, or from now).
struct Chunk {
    Bytes bytes;
    int delayms = 0;
    bool closeafter = false;  // end the connection once these bytes are out
};

class Session {
  public:
    // Fills n bytes of a fresh capture (interleaved little-endian int16 I,Q).
    using CaptureSource = std::function<void(std::uint8_t* bytes, std::size_t n)>;
    using Sink = std::function<void(const std::string& line)>;

    Session(const Options& options, CaptureSource capture, const StatusBlock& status, Sink record);

    std::vector<Chunk> receive(std::span<const std::uint8_t> bytes);
    // The connection ended: forget the capture under way and any partial frame.
    void reset();

  private:
    void handle(const ClientFrame& frame, std::vector<Chunk>& out);
    void onack(const ClientFrame& frame, std::vector<Chunk>& out);
    void sendpacket(int wanted, std::vector<Chunk>& out);
    void sendstatus(std::vector<Chunk>& out);
    void emit(Bytes frame, std::uint64_t reply, std::vector<Chunk>& out);
    void corrupt(Bytes& frame, std::uint64_t reply);
    Bytes garbage(std::size_t n);
    void note(const std::string& line) { record_(line); }

    Options options_;
    CaptureSource capture_;
    StatusBlock status_;
    Sink record_;
    FrameReader reader_;
    Bytes capturebytes_;
    bool capturing_ = false;
    int lastsent_ = 0;  // number of the last packet sent in the capture under way
    std::uint64_t replies_ = 0;
    std::uint64_t captures_ = 0;
    std::uint32_t noise_ = 0x2545F491u;
};

// Record line for a frame the exciter sends (see --help).
std::string describetx(std::span<const std::uint8_t> frame);

}  // namespace sim
