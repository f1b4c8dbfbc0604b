// korvin-monitor under a real Prometheus: four simulated exciters (clean, faulty, one that stops
// and one that never answers), scraped every second with the shipped alert rules, their `for:`
// shortened.
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "support/childprocess.h"
#include "support/simprocess.h"

namespace {

namespace fs = std::filesystem;
using korvin::test::ChildProcess;
using korvin::test::SimProcess;
using Json = nlohmann::json;

// Asks `check` every 200 ms until it holds or timeoutms have passed.
bool eventually(const std::function<bool()>& check, int timeoutms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutms);
    while (!check()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return true;
}

std::string readfile(const fs::path& p) {
    std::ifstream in(p);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writefile(const fs::path& p, const std::string& text) {
    std::ofstream(p) << text;
}

class Prometheus {
  public:
    explicit Prometheus(int port) : client_("127.0.0.1", port) {
        client_.set_connection_timeout(2);
        client_.set_read_timeout(5);
    }
    bool ready() {
        const auto r = client_.Get("/-/ready");
        return r && r->status == 200;
    }
    Json get(const std::string& path, const httplib::Params& params = {}) {
        const auto r = client_.Get(path, params, httplib::Headers{});
        if (!r || r->status != 200) return nullptr;
        return Json::parse(r->body, nullptr, false);
    }
    // The value of an expression that selects one series; nothing while it selects none.
    std::optional<double> value(const std::string& expr) {
        const Json j = get("/api/v1/query", {{"query", expr}});
        if (!j.is_object() || j["status"] != "success") return std::nullopt;
        const Json& result = j["data"]["result"];
        if (result.size() != 1) return std::nullopt;
        return std::stod(result[0]["value"][1].get<std::string>());
    }
    // Every alert, pending or firing: exciter -> "NAME state" entries.
    std::map<std::string, std::multiset<std::string>> alerts() {
        std::map<std::string, std::multiset<std::string>> out;
        const Json j = get("/api/v1/alerts");
        if (!j.is_object()) return out;
        for (const Json& a : j["data"]["alerts"]) {
            const Json& labels = a["labels"];
            const std::string exciter = labels.value("exciter", std::string("-"));
            out[exciter].insert(labels["alertname"].get<std::string>() + " " +
                                a["state"].get<std::string>());
        }
        return out;
    }
    Json alertlist() { return get("/api/v1/alerts")["data"]["alerts"]; }

  private:
    httplib::Client client_;
};

class MonitorUnderPrometheus : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("korvin-prom-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (HasFailure()) {
            if (monitor_) std::printf("--- korvin-monitor:\n%s\n", monitor_->output().c_str());
            if (server_) std::printf("--- prometheus:\n%s\n", server_->output().c_str());
        }
        server_.reset();
        monitor_.reset();
        fs::remove_all(dir_);
    }

    void startmonitor(const std::vector<std::pair<std::string, int>>& exciters, int port) {
        std::string text = "[monitor]\nport = " + std::to_string(port) + "\n";
        for (const auto& [name, simport] : exciters)
            text += "[exciter " + name +
                    "]\naddress = 127.0.0.1\nport = " + std::to_string(simport) +
                    "\nstatus = 1\ncapture = 2\n";
        writefile(dir_ / "monitor.ini", text);
        monitor_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{KORVIN_MONITOR_BIN, (dir_ / "monitor.ini").string()},
            dir_ / "monitor.log");
    }

    // The shipped rules with every `for:` cut to two seconds, and a server scraping the
    // monitor and evaluating them every second.
    void startprometheus(int port, int monitorport) {
        const std::string rules =
            readfile(fs::path(KORVIN_SOURCE_DIR) / "dist/prometheus/korvin-alerts.yml");
        ASSERT_NE(rules.find("for: "), std::string::npos);
        writefile(dir_ / "rules.yml",
                  std::regex_replace(rules, std::regex(R"(for: \d+[smh])"), "for: 2s"));
        writefile(dir_ / "prometheus.yml",
                  "global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
                  "rule_files: ['" +
                      (dir_ / "rules.yml").string() +
                      "']\n"
                      "scrape_configs:\n  - job_name: korvin-monitor\n    static_configs:\n"
                      "      - targets: ['127.0.0.1:" +
                      std::to_string(monitorport) + "']\n");
        server_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{PROMETHEUS_BIN,
                                     "--config.file=" + (dir_ / "prometheus.yml").string(),
                                     "--storage.tsdb.path=" + (dir_ / "data").string(),
                                     "--web.listen-address=127.0.0.1:" + std::to_string(port)},
            dir_ / "prometheus.log");
    }

    std::unique_ptr<ChildProcess> monitor_, server_;

  private:
    fs::path dir_;
};

TEST_F(MonitorUnderPrometheus, FiguresMatchTheExcitersAndTheRightAlertsFire) {
    SimProcess clean({"--snr", "32", "--nonlinear", "0.005", "--record", "/dev/null"});
    SimProcess faulty({"--snr", "12", "--nonlinear", "0.05", "--record", "/dev/null"});
    SimProcess stopped({"--snr", "32", "--nonlinear", "0.005"});
    SimProcess mute({"--silent"});
    ASSERT_TRUE(clean.started() && faulty.started() && stopped.started() && mute.started());
    const int monitorport = korvin::test::freeport();
    const int serverport = korvin::test::freeport();
    startmonitor({{"clean", clean.port()},
                  {"faulty", faulty.port()},
                  {"stopped", stopped.port()},
                  {"mute", mute.port()}},
                 monitorport);
    startprometheus(serverport, monitorport);
    Prometheus prom(serverport);
    ASSERT_TRUE(eventually([&] { return prom.ready(); }, 30000));

    // The third exciter goes away once Prometheus has its first measurement.
    ASSERT_TRUE(stopped.waitforprefix("DONE capture=1", 20000));
    ASSERT_TRUE(eventually(
        [&] { return prom.value(R"(korvin_mask_pass{exciter="stopped"})").has_value(); }, 20000));
    stopped.stop();

    const auto near = [&](const std::string& expr, double want, double within) {
        return eventually(
            [&] {
                const auto v = prom.value(expr);
                return v && std::abs(*v - want) <= within;
            },
            15000);
    };
    EXPECT_TRUE(near(R"(korvin_exciter_snr_db{exciter="clean"})", 32, 1));
    EXPECT_TRUE(near(R"(korvin_exciter_snr_db{exciter="faulty"})", 12, 1));
    EXPECT_TRUE(near(R"(korvin_mer_db{exciter="clean"})", 32, 3));
    EXPECT_TRUE(near(R"(korvin_mer_db{exciter="faulty"})", 12, 3));
    EXPECT_TRUE(near(R"(korvin_mask_pass{exciter="clean"})", 1, 0));
    EXPECT_TRUE(near(R"(korvin_mask_pass{exciter="faulty"})", 0, 0));
    // The engine's further measures of the clean exciter, against what it sends.
    EXPECT_TRUE(near(R"(korvin_mer_unequalised_db{exciter="clean"})", 32, 3));
    EXPECT_TRUE(near(R"(korvin_evm_ratio{exciter="clean"})", std::pow(10, -32 / 20.0), 0.01));
    EXPECT_TRUE(near(R"(korvin_carrier_offset_hertz{exciter="clean"})", 0, 20));
    EXPECT_TRUE(near(R"(korvin_symbol_rate_error_ratio{exciter="clean"})", 0, 2e-6));
    EXPECT_TRUE(near(R"(korvin_pilot_level_db{exciter="clean"})", 0, 1));
    EXPECT_TRUE(near(R"(korvin_papr_db{exciter="clean"})", 6.5, 2.5));
    EXPECT_TRUE(near(R"(korvin_mask_integrated_pass{exciter="clean"})", 1, 0));
    EXPECT_TRUE(near(R"(korvin_exciter_up{exciter="clean"})", 1, 0));
    EXPECT_TRUE(near(R"(korvin_exciter_up{exciter="stopped"})", 0, 0));
    EXPECT_TRUE(eventually(
        [&] { return prom.value(R"(korvin_reconnects_total{exciter="stopped"} > 0)").has_value(); },
        15000));

    using Set = std::multiset<std::string>;
    const Set faultyalerts = {"KorvinExciterSnrLow firing", "KorvinMerLow firing",
                              "KorvinMaskFailing firing", "KorvinExciterImdHigh firing",
                              "KorvinExciterImdHigh firing"};
    const Set stoppedalerts = {"KorvinExciterDown firing"};
    const Set mutealerts = {"KorvinExciterNotAnswering firing"};  // its link stays up
    std::map<std::string, Set> seen;
    EXPECT_TRUE(eventually(
        [&] {
            seen = prom.alerts();
            return seen["faulty"] == faultyalerts && seen["stopped"] == stoppedalerts &&
                   seen["mute"] == mutealerts;
        },
        20000));
    EXPECT_EQ(seen["faulty"], faultyalerts);
    EXPECT_EQ(seen["stopped"], stoppedalerts);
    EXPECT_EQ(seen["mute"], mutealerts);
    EXPECT_EQ(seen["clean"], Set{});
    EXPECT_EQ(seen["-"], Set{});  // none without an exciter: the monitor itself is scraped

    // The summaries name their exciter.
    for (const Json& a : prom.alertlist()) {
        const std::string exciter = a["labels"].value("exciter", std::string());
        EXPECT_NE(a["annotations"]["summary"].get<std::string>().find(exciter), std::string::npos)
            << a.dump();
        EXPECT_TRUE(a["labels"].contains("severity")) << a.dump();
    }

    // SIGTERM stops the monitor cleanly.
    const int status = monitor_->stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
