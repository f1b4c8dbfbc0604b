// A main window on the headless backend, in a fresh folder of its own, with a scripted socket
// and a recording measurement window.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "link/frames.h"
#include "platform/form.h"
#include "platform/testkit/headless.h"
#include "shell/mainfram.h"

namespace korvin::test {

class RecordingWindow : public MeasureWindow {
  public:
    explicit RecordingWindow(Tmainform& main) : form_("recording") {
        form_.onclose = [&main](platform::CloseAction& a) {
            a = platform::CloseAction::Free;
            main.formclosed();
        };
    }
    void showdata(const std::uint8_t* b) override {
        if (b) ++datas;
    }
    void showstatus(const std::uint8_t* s) override {
        if (s) statuses.emplace_back(s, s + 4);
    }
    void shownosignal() override { ++nosignals; }
    platform::Form& form() override { return form_; }
    int datas = 0;
    int nosignals = 0;
    std::vector<std::vector<std::uint8_t>> statuses;

  private:
    platform::Form form_;
};

inline std::vector<std::uint8_t> frame(std::uint16_t fn, std::uint8_t count, std::uint8_t number,
                                       const std::vector<std::uint8_t>& payload) {
    const std::size_t len = 10 + payload.size();
    std::vector<std::uint8_t> f(len);
    f[0] = 0x80;
    f[1] = 0x46;
    f[2] = static_cast<std::uint8_t>(len & 0xFF);
    f[3] = static_cast<std::uint8_t>(len >> 8);
    f[4] = static_cast<std::uint8_t>(fn & 0xFF);
    f[5] = static_cast<std::uint8_t>(fn >> 8);
    f[6] = count;
    f[7] = number;
    std::copy(payload.begin(), payload.end(), f.begin() + 8);
    f[len - 2] = calcsum(f.data(), static_cast<int>(len - 2));
    f[len - 1] = 0x96;
    return f;
}

// Packet `number` of `count` with 1024 data bytes (noise-like, so the engine measures) and,
// unless short, the status block.
inline std::vector<std::uint8_t> packet(std::uint8_t count, std::uint8_t number,
                                        std::vector<std::uint8_t> status = {0, 0x47, 0x68, 0x67},
                                        bool shortpacket = false) {
    std::vector<std::uint8_t> payload(1024);
    std::uint32_t s = 2463534242u + number;
    for (auto& b : payload) {
        s ^= s << 13, s ^= s >> 17, s ^= s << 5;
        b = static_cast<std::uint8_t>(s);
    }
    if (!shortpacket) payload.insert(payload.end(), status.begin(), status.end());
    return frame(1, count, number, payload);
}

inline std::vector<std::uint8_t> statusframe(std::vector<std::uint8_t> status) {
    return frame(2, 0, 0, status);
}

class MainFormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("korvin-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        backend.desk.exefolder_ = dir_.string() + "/";
    }
    void TearDown() override {
        main.reset();
        std::filesystem::remove_all(dir_);
    }

    void start(std::vector<std::string> args = {}) {
        main = std::make_unique<Tmainform>();
        sock = backend.sockets.back();
        main->windowfactory = [this](exciter::WindowKind, Tmainform& m) {
            auto w = std::make_unique<RecordingWindow>(m);
            window = w.get();
            return w;
        };
        main->threadstarter = starter;
        main->FormCreate(args);
    }
    void connect() {
        main->btn_connect.click();
        sock->acceptconnect();
    }
    // Opens a measurement window and advances to the moment its first request is due.
    void open(int kind) { main->measurebuttons()[kind - 1]->click(); }
    std::vector<std::uint8_t> lastsent() const {
        return sock->sent.empty() ? std::vector<std::uint8_t>{} : sock->sent.back();
    }
    // Stops the worker threads and returns the log's lines.
    std::vector<std::string> loglines() {
        platform::CloseAction a;
        main->FormClose(a);
        std::vector<std::string> lines;
        for (const auto& e : std::filesystem::directory_iterator(dir_)) {
            if (e.path().filename().string().rfind("log", 0) != 0) continue;
            std::ifstream in(e.path(), std::ios::binary);
            std::string line;
            while (std::getline(in, line)) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                // Drop the timestamp: "YYYY-MM-DD hh:mm:ss:" is 20 characters.
                lines.push_back(line.size() >= 20 ? line.substr(20) : line);
            }
        }
        return lines;
    }
    std::filesystem::path folder() const { return dir_; }
    // The link's state and buffers.
    const exciter::CycleState& state() const { return main->link().state(); }
    int formkind() const { return static_cast<int>(state().formkind); }
    MeasureBuffers& buffers() { return main->link().buffers(); }

    platform::HeadlessBackend backend;  // first: it outlives everything below
    platform::ThreadStarter starter;    // how start() makes the worker threads; empty: plainly
    std::unique_ptr<Tmainform> main;
    platform::ScriptedSocket* sock = nullptr;
    RecordingWindow* window = nullptr;

  private:
    std::filesystem::path dir_;
};

}  // namespace korvin::test
