// Program entry: the Qt backend, the main window, the event loop.
#include <unistd.h>
#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/prepare.h"
#include "platform/backend.h"
#include "platform/driver.h"
#include "platform/qt/qtbackend.h"
#include "platform/qt/qtdesktop.h"
#include "shell/configdialog.h"
#include "shell/formabout.h"
#include "shell/mainfram.h"
#include "windows/windowfactory.h"

namespace {

// "saveas PATH" answers the next save dialog with PATH (the dialog is not shown).
std::string answersave(const std::string& path) {
    auto* desk = dynamic_cast<platform::qt::QtDesktop*>(&platform::desktop());
    if (!desk || path.empty()) return "error no path";
    desk->answernextsave(path);
    return "ok";
}

// "dismiss" answers the message box on top with OK and reports its text; "box" only reports it.
std::string drive(const std::string& line) {
    if (line.starts_with("saveas ")) return answersave(line.substr(7));
    if (line != "dismiss" && line != "box") return platform::runcommand(line);
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

// With KORVIN_DRIVER=1 the program takes driver commands on standard input, one per line, and
// answers each on standard output (used by the end-to-end tests).
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

}  // namespace

int main(int argc, char** argv) {
    Q_INIT_RESOURCE(resources);                   // the pictures live in a static library
    platform::qt::QtBackend backend(argc, argv);  // takes the toolkit's own options out of argv
    const std::vector<std::string> args(argv + 1, argv + argc);
    Tmainform mainform;
    mainform.windowfactory = createmeasurewindow;
    mainform.configopener = openconfigdialog;
    mainform.aboutopener = openaboutbox;
    mainform.FormCreate(args);
    auto driver = startdriver();
    // The engine's plans take most of a second to make; made now, the first capture does not
    // stall the window (and the reply time-out) while they are measured. An engine without the
    // warm-up makes them on its first capture.
    std::jthread prepare([] { engine::prepare(); });
    return backend.run(mainform);
}
