// Writes the starting inputs of the fuzz targets: read-path scripts built from the stand-in
// exciter's frame encoders and signal, frame-rule scripts, and the config.ini the program writes
// at its first start.
// Usage: fuzz_seeds <readpath dir> <configini dir> <frames dir>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "frames.h"
#include "fuzz/framescript.h"
#include "fuzz/readscript.h"
#include "platform/component.h"
#include "platform/testkit/headless.h"
#include "services/loadconfig.h"
#include "vsbsignal.h"

namespace {

namespace fs = std::filesystem;
using korvin::fuzz::Op;
using korvin::fuzz::Script;

void save(const fs::path& dir, const std::string& name, const std::vector<std::uint8_t>& b) {
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// A window of `kind` opened on a connected exciter, with its first request sent.
Script opened(int kind, std::uint8_t settings = 0) {
    Script s(settings);
    s.open(kind).advance(2100);
    return s;
}

Script capture(Script s, int count = 32, std::uint8_t flags = 2) {
    for (int n = 1; n <= count; ++n) s.packet(count, n, flags).deliver();
    return s;
}

void readpathseeds(const fs::path& dir) {
    for (int kind = 1; kind <= 4; ++kind)
        save(dir, "capture" + std::to_string(kind), capture(opened(kind)).bytes());
    save(dir, "short-packets", capture(opened(2), 32, 3).bytes());
    save(dir, "single-packet", capture(opened(1), 1).bytes());
    save(dir, "super-log-autosave",
         capture(opened(3, korvin::fuzz::kSetTrafficLog | korvin::fuzz::kSetAutoSave |
                               (2 << korvin::fuzz::kModeShift)))
             .bytes());
    save(dir, "debug-mode",
         Script(1 << korvin::fuzz::kModeShift).open(1).advance(3000).op(Op::Close).bytes());

    Script status = opened(5);
    for (int k = 0; k < 3; ++k)
        status.op(Op::Status).put(0).put(0x47).put(0x68).put(0x67).deliver().advance(1000);
    save(dir, "status", status.bytes());

    // Real frames from the exciter's encoders: a packet split in three reads, then two
    // frames coalesced in one.
    std::vector<std::uint8_t> data(vsb::kCaptureSamples * 4);
    vsb::Generator(3, vsb::Impairments{}).capture(data.data(), vsb::kCaptureSamples);
    const sim::StatusBlock st{0, 0x47, 0x68, 0x67};
    auto slice = [&](int n) { return std::span(data).subspan((n - 1) * 1024, 1024); };
    Script split = opened(1);
    split.raw(sim::buildpacket(32, 1, slice(1), st, false)).deliver(3).deliver(700).deliver();
    auto two = sim::buildpacket(32, 2, slice(2), st, false);
    const auto third = sim::buildpacket(32, 3, slice(3), st, false);
    two.insert(two.end(), third.begin(), third.end());
    split.raw(two).deliver();
    save(dir, "split-coalesced", split.bytes());

    save(dir, "timeouts",
         opened(2).advance(2100).advance(2100).advance(2100).advance(2100).bytes());
    save(dir, "drop-reconnect",
         capture(opened(4), 5).op(Op::PeerClose).op(Op::Connect).advance(2100).bytes());
    save(dir, "status-raw", opened(5).raw(sim::buildstatusframe(st)).deliver(5).deliver().bytes());
}

// Captures, status exchanges and the faults around them, for the frame-rules target.
void frameseeds(const fs::path& dir) {
    using namespace korvin::fuzz::frames;
    auto opened = [](int kind) {
        FrameScript s;
        s.open(kind).advance(2100);
        return s;
    };
    FrameScript full = opened(1);
    for (int n = 1; n <= 32; ++n) full.packet(32, n).deliver();
    save(dir, "capture", full.bytes());

    // Split over reads, two frames in one read, a short packet, one of a single packet.
    FrameScript split = opened(4);
    split.packet(3, 1).deliver(3).deliver(500).deliver();
    split.packet(3, 2, kShort).packet(3, 3).deliver().deliver();
    split.advance(2000).packet(1, 1).deliver();
    save(dir, "split-coalesced-short", split.bytes());

    // Out of order, repeated, bad checksum and tail (used), then the time-out and a new capture.
    FrameScript faults = opened(2);
    faults.packet(4, 2).deliver().packet(4, 1, kBadSum).deliver().packet(4, 1).deliver();
    faults.packet(4, 2, kBadTail).deliver().op(Framed).put16(7).put(0).put(0).put(0).deliver();
    faults.advance(2000).advance(200).packet(4, 1).deliver();
    save(dir, "rejected-then-retried", faults.bytes());

    // A length past the bytes sent waits for the time-out; three in a row give up.
    FrameScript held = opened(3);
    held.packet(2, 1, kOddLength).put(1).deliver();
    for (int k = 0; k < 4; ++k) held.advance(2100);
    save(dir, "held-then-give-up", held.bytes());

    FrameScript status = opened(5);
    for (int k = 0; k < 3; ++k) status.status().deliver().advance(1000);
    status.op(Status).put(1).put(0).put(0).put(1).put(2).put(3).deliver().advance(2100);
    status.op(PeerClose).op(Connect).advance(1100).status().deliver(5).deliver();
    save(dir, "status", status.bytes());

    FrameScript failed = opened(1);
    failed.op(Engine).put(1).packet(1, 1).deliver().advance(2100).op(Engine).put(0);
    failed.packet(1, 1).deliver().op(Close);
    save(dir, "engine-failure-close", failed.bytes());
}

// The file the program writes at its first start.
void configseeds(const fs::path& dir) {
    platform::HeadlessBackend backend;
    const fs::path tmp = dir / "first-start";
    fs::create_directories(tmp);
    platform::IpEdit edit("ipedt_dest");
    Settings settings;
    loadconfig(tmp.string() + "/", tmp.string() + "/", edit, settings);
    fs::rename(tmp / "config.ini", dir / "default");
    fs::remove_all(tmp);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <readpath dir> <configini dir> <frames dir>\n", argv[0]);
        return 2;
    }
    for (int i = 1; i < 4; ++i) fs::create_directories(argv[i]);
    readpathseeds(argv[1]);
    configseeds(argv[2]);
    frameseeds(argv[3]);
    return 0;
}
