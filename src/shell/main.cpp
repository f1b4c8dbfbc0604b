// Program entry: the Qt backend, the main window, the event loop.
#include <QtGlobal>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/prepare.h"
#include "platform/qt/qtbackend.h"
#include "platform/qt/qtdriver.h"
#include "shell/configdialog.h"
#include "shell/formabout.h"
#include "shell/mainfram.h"
#include "windows/windowfactory.h"

int main(int argc, char** argv) {
    Q_INIT_RESOURCE(resources);                   // the pictures live in a static library
    platform::qt::QtBackend backend(argc, argv);  // takes the toolkit's own options out of argv
    const std::vector<std::string> args(argv + 1, argv + argc);
    Tmainform mainform;
    mainform.windowfactory = createmeasurewindow;
    mainform.configopener = openconfigdialog;
    mainform.aboutopener = openaboutbox;
    mainform.FormCreate(args);
    auto driver = platform::qt::startdriver();
    // The engine's plans take most of a second to make; made now, the first capture does not
    // stall the window (and the reply time-out) while they are measured. An engine without the
    // warm-up makes them on its first capture.
    std::jthread prepare([] { engine::prepare(); });
    return backend.run(mainform);
}
