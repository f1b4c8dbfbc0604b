#include "faultrun.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iostream>

namespace korvin::test {

namespace {

namespace fs = std::filesystem;

// "YYYY-MM-DD hh:mm:ss:" in front of every event text.
bool stamped(const std::string& line) {
    const std::string pattern = "9999-99-99 99:99:99";
    if (line.size() <= pattern.size() || (line[19] != ':' && line[19] != ' ')) return false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const bool ok = pattern[i] == '9' ? std::isdigit(static_cast<unsigned char>(line[i])) != 0
                                          : line[i] == pattern[i];
        if (!ok) return false;
    }
    return true;
}

bool starts(const std::string& s, const std::string& prefix) {
    return s.rfind(prefix, 0) == 0;
}

}  // namespace

std::vector<std::string> wholelogtexts(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const std::string& l : lines) {
        const bool whole = !l.empty() && l.back() == '\r' && stamped(l);
        out.push_back(whole ? l.substr(20, l.size() - 21) : "?" + l);
    }
    return out;
}

std::size_t countprefix(const std::vector<std::string>& lines, const std::string& prefix) {
    return static_cast<std::size_t>(std::count_if(
        lines.begin(), lines.end(), [&](const std::string& l) { return starts(l, prefix); }));
}

FaultRun::FaultRun(const std::string& name, const std::vector<std::string>& simargs,
                   const std::string& configini)
    : name_(name),
      folder_(fs::temp_directory_path() /
              ("korvin-faults-" + std::to_string(::getpid()) + "-" + name)),
      sim_(std::make_unique<SimProcess>(simargs)) {
    fs::remove_all(folder_);
    if (!configini.empty()) {
        fs::create_directories(folder_);
        std::ofstream(folder_ / "config.ini", std::ios::binary) << configini;
    }
    app_ = std::make_unique<KorvinProcess>(folder_);
}

FaultRun::~FaultRun() {
    if (::testing::Test::HasFailure()) {
        std::cerr << "--- log of " << name_ << "\n";
        for (const auto& l : app_->loglines()) std::cerr << l << "\n";
        std::cerr << "--- exciter-sim record\n";
        for (const auto& l : sim_->lines())
            if (!starts(l, "TX 1038") && !starts(l, "TX 1034")) std::cerr << l << "\n";
    }
    app_.reset();
    sim_.reset();
    std::error_code ec;
    fs::remove_all(folder_, ec);
}

bool FaultRun::restartsim(const std::vector<std::string>& simargs) {
    const std::string port = std::to_string(sim_->port());
    sim_->stop();
    std::vector<std::string> args{"--port", port};
    args.insert(args.end(), simargs.begin(), simargs.end());
    sim_ = std::make_unique<SimProcess>(args);
    return sim_->started() && std::to_string(sim_->port()) == port;
}

bool FaultRun::connect() {
    if (!sim_->started()) return false;
    if (!app_->until("state mainform btn_connect",
                     [](const std::string& a) { return starts(a, "ok enabled=1 "); }))
        return false;
    app_->command("set mainform ipedt_dest 127.0.0.1");
    app_->command("set mainform edt_port " + std::to_string(sim_->port()));
    if (app_->command("click mainform btn_connect") != "ok") return false;
    return app_->waitfor("status mainform", "ok " + kConnected);
}

bool FaultRun::openwindow(const Window& w) {
    // A modal window: the click's own answer comes once the window has closed.
    if (!app_->send(std::string("click mainform ") + w.button)) return false;
    open_ = w;
    return app_->until("forms", [&](const std::string& a) {
        return a.find(std::string(" ") + w.form + "*") != std::string::npos;
    });
}

bool FaultRun::closewindow() {
    if (!open_.form) return false;
    const bool closed = app_->command(std::string("close ") + open_.form) == "ok";
    const bool answered = app_->reply() == "ok";  // the opening click
    open_ = {nullptr, nullptr};
    return closed && answered;
}

bool FaultRun::done(int capture, int timeoutms) {
    const std::string prefix = "DONE capture=";
    const auto found = sim_->waitfor(
        [&](const std::string& l) {
            return starts(l, prefix) && std::stoi(l.substr(prefix.size())) >= capture;
        },
        timeoutms);
    return found.has_value();
}

int FaultRun::quit() {
    if (app_->command("menu mainform mniExit1") != "ok") return -1;
    return app_->waitexit(15000).value_or(-1);
}

}  // namespace korvin::test
