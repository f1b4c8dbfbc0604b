// korvin-analyze: measures recorded captures again with the engine and prints their figures and
// verdicts; optionally draws the capture windows' charts of each.
#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "analyze/analysis.h"
#include "analyze/charts.h"
#include "platform/qt/qtbackend.h"
#include "records/logdumps.h"
#include "records/sigmf.h"

namespace {

constexpr const char* kUsage =
    "Usage: korvin-analyze [--json] [--charts DIR] [--recordings DIR] INPUT...\n"
    "Measures recorded captures again and prints each one's figures and verdicts.\n"
    "INPUT is a recording (NAME.sigmf-meta or NAME.sigmf-data), a folder of recordings, or a\n"
    "super-mode log of the client, whose capture dumps become recordings first (in the\n"
    "--recordings folder, or beside the log).\n"
    "  --json            one JSON array on standard output instead of lines of text\n"
    "  --charts DIR      also draw each recording's capture charts into DIR (JPEG)\n"
    "  --recordings DIR  where recordings taken from a log go\n"
    "  --help            show this text and exit\n"
    "Exit status: 0 when every recording passes, 1 when one fails or holds no signal, 2 when an\n"
    "input cannot be read (the others are still measured).\n";

struct Options {
    bool json = false;
    std::string charts, recordings;
    std::vector<std::string> inputs;
};

bool parseargs(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if ((a == "--charts" || a == "--recordings") && i + 1 < argc) {
            (a == "--charts" ? o.charts : o.recordings) = argv[++i];
        } else if (a == "--json") {
            o.json = true;
        } else if (!a.empty() && a[0] == '-') {
            return false;
        } else {
            o.inputs.push_back(a);
        }
    }
    return !o.inputs.empty();
}

// The log's capture dumps as recordings; their names, or the error as an outcome.
void fromlog(const std::string& log, const std::string& folder,
             std::vector<std::string>& recordings, std::vector<analyze::Outcome>& bad) {
    namespace fs = std::filesystem;
    const fs::path where = folder.empty() ? fs::path(log).parent_path() : fs::path(folder);
    const std::string stem = fs::path(log).stem().string();
    std::string error;
    int n = 0;
    const bool ok = records::readlogdumps(
        log,
        [&](const records::LogCapture& c) {
            records::Facts f;
            f.datetime = records::utcfromlocal(c.stamp);
            f.recorder = "korvin-analyze (from " + fs::path(log).filename().string() + ")";
            char name[32];
            std::snprintf(name, sizeof name, "-%04d", ++n);
            const std::string base = (where / (stem + name)).string();
            std::string werror;
            if (records::writerecording(base, c.capture.data(), f, werror))
                recordings.push_back(base);
            else
                bad.push_back({base, werror, {}});
        },
        error);
    if (!ok)
        bad.push_back({log, error, {}});
    else if (n == 0)
        bad.push_back({log, "no capture dump (not a super-mode log?)", {}});
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--help" || std::string(argv[i]) == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    Options o;
    if (!parseargs(argc, argv, o)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    for (const std::string& folder : {o.charts, o.recordings}) {
        std::error_code ec;
        if (!folder.empty() && !std::filesystem::create_directories(folder, ec) && ec) {
            std::fprintf(stderr, "korvin-analyze: %s: %s\n", folder.c_str(), ec.message().c_str());
            return 2;
        }
    }
    std::unique_ptr<platform::qt::QtBackend> backend;
    if (!o.charts.empty()) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);  // no display needed
        // The offscreen platform's notes (it cannot raise a window, ...) are not the user's
        // concern; what goes wrong is reported per recording.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& m) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                std::fprintf(stderr, "%s\n", m.toLocal8Bit().constData());
        });
        backend = std::make_unique<platform::qt::QtBackend>(argc, argv);
    }
    std::vector<analyze::Outcome> outcomes;
    std::vector<std::string> recordings;
    for (const auto& in : analyze::expandinputs(o.inputs)) {
        if (!in.error.empty())
            outcomes.push_back({in.path, in.error, {}});
        else if (in.log)
            fromlog(in.path, o.recordings, recordings, outcomes);
        else
            recordings.push_back(in.path);
    }
    // Inputs that cannot be read: one line each on standard error, the others still measured.
    for (const auto& out : outcomes) std::fprintf(stderr, "%s\n", analyze::textline(out).c_str());
    analyze::Analyser analyser;
    const bool progress = recordings.size() > 1 && ::isatty(STDERR_FILENO);
    const auto settle = [] {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    };
    for (std::size_t i = 0; i < recordings.size(); ++i) {
        analyze::Outcome out{records::basename(recordings[i]), {}, {}};
        records::Recording r;
        if (!records::readrecording(recordings[i], r, out.error)) {
            std::fprintf(stderr, "%s\n", analyze::textline(out).c_str());
            outcomes.push_back(out);
            continue;
        }
        analyser.measure(r, out);
        if (backend) {
            const std::string name = std::filesystem::path(out.file).filename().string();
            std::array<std::uint8_t, 4> status = r.facts.status;
            if (!analyze::drawcharts(o.charts, name, analyser.resultblock(), status, settle,
                                     out.error))
                out.error = "charts: " + out.error;
        }
        if (!o.json) std::printf("%s\n", analyze::textline(out).c_str());
        outcomes.push_back(out);
        if (progress) std::fprintf(stderr, "\ranalysed %zu of %zu", i + 1, recordings.size());
    }
    if (progress) std::fputs("\n", stderr);
    if (o.json) std::fputs(analyze::jsonreport(outcomes).c_str(), stdout);
    return analyze::exitcode(outcomes);
}
