// Desktop services for a program without a screen: errors go to standard error, dialogs are
// never shown, and the folder, clock, version and sleeping are the system's own. The Qt desktop
// takes the same system parts from here.
#pragma once

#include "platform/desktop.h"

namespace platform {

class ConsoleDesktop : public Desktop {
  public:
    // One line on standard error; safe from any thread.
    void errorbox(const std::string& text) override;
    Answer question(const std::string&) override { return Answer::Cancel; }
    bool savedialog(SaveDialog&) override { return false; }
    bool folderdialog(std::string&) override { return false; }
    std::string exefolder() override;
    LocalTime localtime() override;
    std::string fileversion() override;
    bool openurl(const std::string&) override { return false; }
    void sleepms(int ms) override;
};

}  // namespace platform
