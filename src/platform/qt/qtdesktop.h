// Desktop services with Qt dialogs and the operating system's facilities.
#pragma once

#include <QString>
#include <optional>
#include <string>

#include "platform/consoledesktop.h"

namespace platform::qt {

// Message boxes and dialogs with Qt; the system parts are the console desktop's.
class QtDesktop : public ConsoleDesktop {
  public:
    void errorbox(const std::string& text) override;
    Answer question(const std::string& text) override;
    bool savedialog(SaveDialog& dlg) override;
    bool folderdialog(std::string& folder) override;
    bool openurl(const std::string& url) override;

    // The test driver answers the next save dialog with `path` instead of showing it.
    void answernextsave(const std::string& path) { nextsave_ = path; }

    // "Text|*.a;*.b|All|*.*" -> "Text (*.a *.b);;All (*.*)"; the texts stay as they are.
    static QString qtfilter(const std::string& filter);

  private:
    std::optional<std::string> nextsave_;
};

}  // namespace platform::qt
