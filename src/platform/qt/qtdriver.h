// The end-to-end tests' driver on the Qt event loop: with KORVIN_DRIVER=1 the program takes
// driver commands (platform/driver.h) on standard input, one a line, and answers each on
// standard output. Three more act on what only the toolkit knows:
//   saveas PATH   answers the next save dialog with PATH (the dialog is not shown)
//   dismiss       answers the message box on top with OK and reports its text
//   box           reports the text of the message box on top
#pragma once

#include <QSocketNotifier>
#include <memory>

namespace platform::qt {

// Null unless KORVIN_DRIVER is "1"; commands are read while the returned notifier lives.
std::unique_ptr<QSocketNotifier> startdriver();

}  // namespace platform::qt
