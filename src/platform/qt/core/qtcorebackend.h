// The backend of a program without a screen: Qt's core event loop runs the timers and the
// sockets, errors go to standard error, and there are no windows to show.
#pragma once

#include <QCoreApplication>
#include <memory>

#include "platform/backend.h"
#include "platform/consoledesktop.h"
#include "platform/qt/core/qttimers.h"

namespace platform::qt {

class QtCoreBackend : public Backend {
  public:
    // Creates the core application object (unless one exists) and installs this backend.
    QtCoreBackend(int& argc, char** argv);
    ~QtCoreBackend() override;
    QtCoreBackend(const QtCoreBackend&) = delete;
    QtCoreBackend& operator=(const QtCoreBackend&) = delete;

    // Runs the event loop until quit() or a signal ends it.
    int run();
    void quit();

    TimerHost& timers() override { return timers_; }
    Desktop& desktop() override { return desktop_; }
    std::unique_ptr<ClientSocket> createsocket() override;
    // There are no windows: a form is never shown.
    void showmodal(Form&) override {}
    void show(Form&) override {}
    void closed(Form&) override {}
    void post(std::function<void()> fn) override;

  private:
    std::unique_ptr<QCoreApplication> app_;
    QtTimerHost timers_;
    ConsoleDesktop desktop_;
};

}  // namespace platform::qt
