// Writes the starting inputs of the fuzz targets: read-path scripts built from the stand-in
// exciter's frame encoders and signal, and the config.ini the program writes at its first start.
// Usage: fuzz_seeds <readpath dir> <configini dir>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "frames.h"
#include "fuzz/readscript.h"
#include "platform/component.h"
#include "platform/headless.h"
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
    split.raw(sim::build_packet(32, 1, slice(1), st, false)).deliver(3).deliver(700).deliver();
    auto two = sim::build_packet(32, 2, slice(2), st, false);
    const auto third = sim::build_packet(32, 3, slice(3), st, false);
    two.insert(two.end(), third.begin(), third.end());
    split.raw(two).deliver();
    save(dir, "split-coalesced", split.bytes());

    save(dir, "timeouts",
         opened(2).advance(2100).advance(2100).advance(2100).advance(2100).bytes());
    save(dir, "drop-reconnect",
         capture(opened(4), 5).op(Op::PeerClose).op(Op::Connect).advance(2100).bytes());
    save(dir, "status-raw",
         opened(5).raw(sim::build_status_frame(st)).deliver(5).deliver().bytes());
}

// The file the program writes at its first start.
void configseeds(const fs::path& dir) {
    platform::HeadlessBackend backend;
    const fs::path tmp = dir / "first-start";
    fs::create_directories(tmp);
    platform::IpEdit edit("ipedt_dest");
    loadconfig(tmp.string() + "/", edit);
    fs::rename(tmp / "config.ini", dir / "default");
    fs::remove_all(tmp);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <readpath dir> <configini dir>\n", argv[0]);
        return 2;
    }
    fs::create_directories(argv[1]);
    fs::create_directories(argv[2]);
    readpathseeds(argv[1]);
    configseeds(argv[2]);
    return 0;
}
