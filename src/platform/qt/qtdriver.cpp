#include "platform/qt/qtdriver.h"

#include <unistd.h>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/backend.h"
#include "platform/driver.h"
#include "platform/qt/qtdesktop.h"

namespace platform::qt {

namespace {

std::string answersave(const std::string& path) {
    auto* desk = dynamic_cast<QtDesktop*>(&desktop());
    if (!desk || path.empty()) return "error no path";
    desk->answernextsave(path);
    return "ok";
}

std::string drive(const std::string& line) {
    if (line.starts_with("saveas ")) return answersave(line.substr(7));
    if (line != "dismiss" && line != "box") return runcommand(line);
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return "error no message box";
    const std::string text = box->text().toStdString();
    if (line == "dismiss") box->done(QMessageBox::Ok);
    return "ok " + text;
}

std::string pending;  // driver input not yet handled

// Handles one command, and schedules the next before it: a command that opens a modal window
// answers only when that window has closed, and the commands behind it must still run.
void nextcommand() {
    const std::size_t nl = pending.find('\n');
    if (nl == std::string::npos) return;
    const std::string line = pending.substr(0, nl);
    pending.erase(0, nl + 1);
    if (pending.find('\n') != std::string::npos) QTimer::singleShot(0, nextcommand);
    std::printf("%s\n", drive(line).c_str());
    std::fflush(stdout);
}

}  // namespace

std::unique_ptr<QSocketNotifier> startdriver() {
    const char* on = std::getenv("KORVIN_DRIVER");
    if (!on || std::string(on) != "1") return nullptr;
    auto notifier = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [n = notifier.get()] {
        char buf[512];
        const ssize_t got = ::read(STDIN_FILENO, buf, sizeof buf);
        if (got <= 0) {
            n->setEnabled(false);
            return;
        }
        const bool idle = pending.find('\n') == std::string::npos;
        pending.append(buf, static_cast<std::size_t>(got));
        if (idle) QTimer::singleShot(0, nextcommand);
    });
    return notifier;
}

}  // namespace platform::qt
