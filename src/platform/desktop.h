// Desktop services: message boxes, file and folder dialogs, the executable's folder, local time,
// the build's version, the web-address handler, sleeping.
#pragma once

#include <string>

namespace platform {

struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
    // Days since 30 December 1899, the fraction being the time of day.
    double todatetime() const;
    static LocalTime fromdatetime(double days);
};

enum class Answer { Yes, No, Cancel };

// A file-save dialog: its filter ("Text|*.ext|..." pairs) and the chosen name.
struct SaveDialog {
    std::string filter;
    std::string filename;  // in: preset; out: the confirmed choice
    std::string folder;    // the folder the dialog showed when it was confirmed
};

class Desktop {
  public:
    virtual ~Desktop() = default;
    // A modal error box: title "Error", error icon, one OK button. Safe from any thread: a box
    // raised by a worker is shown on the user-interface thread, and the worker goes on at once.
    virtual void errorbox(const std::string& text) = 0;
    // A warning with Yes, No and Cancel.
    virtual Answer question(const std::string& text) = 0;
    virtual bool savedialog(SaveDialog& dlg) = 0;
    // Preset with `folder`; on confirmation `folder` holds the chosen folder's full path.
    virtual bool folderdialog(std::string& folder) = 0;
    // The executable's folder with its trailing "/".
    virtual std::string exefolder() = 0;
    virtual LocalTime localtime() = 0;
    // The executable's file version, e.g. "1.0.7.0"; empty when it has none.
    virtual std::string fileversion() = 0;
    virtual bool openurl(const std::string& url) = 0;
    virtual void sleepms(int ms) = 0;
};

}  // namespace platform
