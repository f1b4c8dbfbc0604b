// Shared set-up for end-to-end cases: a folder of the case's own, exciter-sim on a free loopback
// port, the real program started there (optionally with a config.ini written first) and
// connected through its main window; plus readers for the log and the simulator's record.
//
//   E2eCase c("mycase", {"--snr", "30"});
//   ASSERT_TRUE(c.start({}, E2eCase::config(c.folder(), {.savecomm = true})));
//   ASSERT_TRUE(c.connect());
//   ASSERT_TRUE(c.openwindow("btmbtn_spe", "TForm_spec"));
#pragma once

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "support/korvinprocess.h"
#include "support/simprocess.h"

namespace korvin::test {

// Time-out for a command or record line that may wait on the program's first capture: the
// engine prepares its transforms then, which can hold the program for seconds in a sanitizer
// build on a loaded machine.
inline constexpr int kBusyMs = 60000;

// The client's frames as the simulator records them ("RX 10 " then the bytes in hex).
inline const std::string kCaptureRequestLine = "RX 10 80 46 0A 00 01 00 00 00 D1 96";
inline const std::string kStatusRequestLine = "RX 10 80 46 0A 00 02 00 00 00 D2 96";

// The program's own log and status texts.
inline const std::string kConnected = "Successfully connected with server!";
inline const std::string kDisconnected = "Successfully disconnected with server!";
inline const std::string kReread = "Receive Frame Timeout,and will reread again!";
inline const std::string kGiveUp = "Receive Frame Timeout,Please Check!Current Form Will Close!";

// The acknowledgement of packet `number` of a `count`-packet capture, as recorded.
inline std::string acklinefor(unsigned count, unsigned number) {
    const unsigned bytes[8] = {0x80, 0x46, 0x0A, 0x00, 0x01, 0x80, count, number};
    unsigned sum = 0;
    std::string line = "RX 10";
    char hex[4];
    for (unsigned b : bytes) {
        sum += b;
        std::snprintf(hex, sizeof hex, " %02X", b & 0xFFu);
        line += hex;
    }
    std::snprintf(hex, sizeof hex, " %02X", sum & 0xFFu);
    return line + hex + " 96";
}

// The log's lines without their "YYYY-MM-DD hh:mm:ss:" (or "... ") stamps and CR; dump lines,
// which carry no stamp, are kept whole.
inline std::vector<std::string> logtexts(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (std::string l : lines) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        const bool stamped = l.size() >= 20 && l[4] == '-' && l[7] == '-' && l[10] == ' ' &&
                             l[13] == ':' && l[16] == ':' && (l[19] == ':' || l[19] == ' ');
        out.push_back(stamped ? l.substr(20) : l);
    }
    return out;
}

inline std::size_t countof(const std::vector<std::string>& lines, const std::string& text) {
    std::size_t n = 0;
    for (const auto& l : lines) n += l == text;
    return n;
}

// What a healthy stop-and-wait exchange looks like in the simulator's record: each request
// answered before the next goes out, each sample packet acknowledged byte-exact before the
// next comes, no frame of the client's malformed.
struct Exchange {
    int capturerequests = 0;
    int statusrequests = 0;
    int packets = 0;         // sample packets sent by the simulator
    int acks = 0;            // right acknowledgements from the client
    int statusframes = 0;    // status frames sent by the simulator
    int clientframes = 0;    // every RX line
    int answeredframes = 0;  // frames sent before the client's last frame (so read by it)
    int abandoned = 0;       // captures left unfinished for a new request (window closed)
    std::vector<std::string> problems;
};

inline unsigned fieldof(const std::string& line, const std::string& key) {
    const auto at = line.find(" " + key + "=");
    return at == std::string::npos
               ? 0u
               : static_cast<unsigned>(std::stoul(line.substr(at + key.size() + 2)));
}

inline Exchange walkexchange(const std::vector<std::string>& record) {
    Exchange e;
    enum class Wait { Request, Reply, Ack } wait = Wait::Request;
    unsigned count = 0, number = 0;  // the packet last sent
    int sent = 0;                    // simulator frames so far
    const auto problem = [&](const std::string& why, const std::string& line) {
        e.problems.push_back(why + ": " + line);
    };
    for (const auto& l : record) {
        if (l.starts_with("BAD ") || l.starts_with("IGNORE ")) problem("malformed", l);
        if (l.starts_with("TX ")) {
            ++sent;
            if (wait != Wait::Reply) problem("frame sent unasked", l);
            if (l.starts_with("TX 14 ")) {
                ++e.statusframes;
                wait = Wait::Request;
            } else {
                ++e.packets;
                count = fieldof(l, "count");
                number = fieldof(l, "no");
                wait = Wait::Ack;
            }
            continue;
        }
        if (!l.starts_with("RX ")) continue;
        ++e.clientframes;
        e.answeredframes = sent;
        if (l == kCaptureRequestLine || l == kStatusRequestLine) {
            (l == kCaptureRequestLine ? e.capturerequests : e.statusrequests) += 1;
            if (wait == Wait::Ack) ++e.abandoned;
            if (wait == Wait::Reply) problem("request while a reply is due", l);
            wait = Wait::Reply;
        } else if (wait == Wait::Ack && l == acklinefor(count, number)) {
            ++e.acks;
            wait = number == count ? Wait::Request : Wait::Reply;
        } else {
            problem("unexpected client frame", l);
        }
    }
    return e;
}

class E2eCase {
  public:
    struct Settings {
        bool autosave = false;
        bool savecomm = false;
    };
    // A config.ini with both switches and the auto-save folder set to `folder`.
    static std::string config(const std::filesystem::path& folder, Settings s) {
        return std::string("[AUTO_SAVE]\r\nSwitch=") + (s.autosave ? "1" : "0") +
               "\r\nCycle=0\r\nType=0\r\nPath=" + folder.string() +
               "/\r\n[CONFIG]\r\nDefault IP=127.0.0.1\r\n[SAVE_COMM]\r\nSwitch=" +
               (s.savecomm ? "1" : "0") + "\r\n";
    }

    explicit E2eCase(const std::string& name, const std::vector<std::string>& simargs = {})
        : folder_(std::filesystem::temp_directory_path() /
                  ("korvin-e2e-" + std::to_string(::getpid()) + "-" + name)),
          sim_(simargs) {
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    ~E2eCase() {
        app_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    E2eCase(const E2eCase&) = delete;
    E2eCase& operator=(const E2eCase&) = delete;

    const std::filesystem::path& folder() const { return folder_; }
    SimProcess& sim() { return sim_; }
    KorvinProcess& app() { return *app_; }

    // Writes config.ini (when given), starts the program (with `env` added to its environment)
    // and waits until it is ready.
    bool start(const std::vector<std::string>& args = {}, const std::string& configini = "",
               const std::vector<std::string>& env = {}) {
        if (!sim_.started()) return false;
        if (!configini.empty())
            std::ofstream(folder_ / "config.ini", std::ios::binary) << configini;
        app_ = std::make_unique<KorvinProcess>(folder_, args, env);
        return app_->waitfor("status mainform", "ok Initialized successfully!", 20000);
    }
    bool connect() {
        app_->command("set mainform ipedt_dest 127.0.0.1");
        app_->command("set mainform edt_port " + std::to_string(sim_.port()));
        return app_->command("click mainform btn_connect") == "ok" &&
               app_->waitfor("status mainform", "ok " + kConnected, 15000);
    }
    // Clicks a measurement button; the click answers only once its modal window has closed
    // (read that answer with app().reply()). True once the window shows.
    bool openwindow(const std::string& button, const std::string& form) {
        return app_->send("click mainform " + button) && waitshowing(form);
    }
    bool waitshowing(const std::string& form, int timeoutms = 15000) {
        return app_->until(
            "forms",
            [&](const std::string& a) { return a.find(" " + form + "*") != std::string::npos; },
            timeoutms, kBusyMs);
    }
    // "enabled=0|1" of a main-window control.
    std::string enabled(const std::string& control) {
        return app_->command("state mainform " + control, kBusyMs).substr(3, 9);
    }

  private:
    std::filesystem::path folder_;
    SimProcess sim_;
    std::unique_ptr<KorvinProcess> app_;
};

}  // namespace korvin::test
