// Runs exciter-sim as a child process for a test: starts it on a free loopback port, collects
// its stdout record line by line on a reader thread, and stops it (SIGTERM) when done.
//
//   korvin::test::SimProcess sim({"--packets", "4"});
//   ASSERT_TRUE(sim.started());
//   connect to 127.0.0.1:sim.port() ...
//   auto ack = sim.waitforprefix("RX 10 80 46 0A 00 01 80", 5000);
//
// The record reaches the test through a pipe, not in step with the socket: a reply can be
// read before the lines about it arrive. Wait for the last line you need (waitfor) before
// looking at lines().
#pragma once

#include <string>
#include <vector>

#include "support/lineprocess.h"

namespace korvin::test {

class SimProcess : public LineProcess {
  public:
    // `args` come after "--port 0 --max-seconds 300", so they may override both.
    explicit SimProcess(const std::vector<std::string>& args = {},
                        const std::string& binary = EXCITER_SIM_BIN, int starttimeoutms = 10000) {
        std::vector<std::string> argvtext = {binary, "--port", "0", "--max-seconds", "300"};
        argvtext.insert(argvtext.end(), args.begin(), args.end());
        start(argvtext, STDOUT_FILENO);
        const auto listening = waitforprefix("listening ", starttimeoutms);
        if (listening) {
            port_ = std::stoi(listening->substr(listening->rfind(':') + 1));
        }
    }

    bool started() const { return port_ > 0; }
    int port() const { return port_; }

  private:
    int port_ = 0;
};

}  // namespace korvin::test
