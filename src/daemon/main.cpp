// korvin-monitor: watches the exciters a monitor file names, without a screen, and publishes
// their figures for Prometheus on GET /metrics.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "daemon/keeper.h"
#include "daemon/metricsserver.h"
#include "daemon/monitorfile.h"
#include "daemon/watcher.h"
#include "engine/prepare.h"
#include "platform/qt/core/qtcorebackend.h"

namespace {

constexpr const char* kUsage =
    "Usage: korvin-monitor [--check] MONITOR_FILE\n"
    "Watches the exciters MONITOR_FILE names and publishes their figures for Prometheus\n"
    "on GET /metrics (address and port in the file's [monitor] section).\n"
    "  --check   read the monitor file, report the first error and exit\n"
    "  --help    show this text and exit\n"
    "Exit status: 0 on a clean stop (SIGTERM, SIGINT), 1 when the metrics address cannot be\n"
    "bound, 2 for a bad command line or monitor file.\n";

int usage(int rc) {
    std::fputs(kUsage, rc == 0 ? stdout : stderr);
    return rc;
}

// SIGTERM and SIGINT end the event loop, so the exciters' links close in order.
std::unique_ptr<QSocketNotifier> stoponsignals(platform::qt::QtCoreBackend& backend) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    const int fd = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (fd < 0) {
        // Without the descriptor the signals must keep their default action, or none stops us.
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        return nullptr;
    }
    auto n = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(n.get(), &QSocketNotifier::activated, [&backend] { backend.quit(); });
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    bool check = false;
    std::string file;
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") return usage(0);
        if (a == "--check") {
            check = true;
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "korvin-monitor: unknown option %s\n", a.c_str());
            return usage(2);
        } else if (file.empty()) {
            file = a;
        } else {
            return usage(2);
        }
    }
    if (file.empty()) return usage(2);

    watch::MonitorConfig config;
    std::string error;
    if (!watch::readmonitorfile(file, config, error)) {
        std::fprintf(stderr, "korvin-monitor: %s\n", error.c_str());
        return 2;
    }
    if (check) return 0;

    platform::qt::QtCoreBackend backend(argc, argv);
    auto stopper = stoponsignals(backend);
    std::vector<std::string> names;
    for (const auto& e : config.exciters) names.push_back(e.name);
    watch::MetricsBoard board(names);
    watch::MetricsServer server(board);
    if (!server.start(config.listen, config.port, error)) {
        std::fprintf(stderr, "korvin-monitor: %s\n", error.c_str());
        return 1;
    }
    engine::prepare();
    std::unique_ptr<watch::Keeper> keeper;
    if (!config.recordingsfolder.empty())
        keeper = std::make_unique<watch::Keeper>(
            config.recordingsfolder, static_cast<std::uint64_t>(config.recordingsmb) << 20);
    std::vector<std::unique_ptr<watch::Watcher>> watchers;
    for (std::size_t i = 0; i < config.exciters.size(); ++i) {
        const auto& e = config.exciters[i];
        watch::Keeping keeping;
        if (e.history) keeping.historyfolder = config.historyfolder + "/" + e.name + "/";
        keeping.recordings = keeper.get();
        keeping.merthreshold = config.merthreshold;
        keeping.keepevery = config.keepevery;
        watchers.push_back(std::make_unique<watch::Watcher>(e, board, i, keeping));
    }
    for (auto& w : watchers) w->start();
    std::fprintf(stderr, "korvin-monitor: watching %zu exciters, metrics on http://%s:%d/metrics\n",
                 watchers.size(), config.listen.c_str(), server.port());
    const int rc = backend.run();
    watchers.clear();
    server.stop();
    return rc;
}
