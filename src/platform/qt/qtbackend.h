// The Qt backend: renders the form models as Qt windows, runs timers on QTimers, sockets on
// descriptors watched by QSocketNotifier and desktop services with Qt dialogs.
//
// Pictures: image list entries and named image resources load ":/<name>.png" from
// resources/resources.qrc, where <name> is ImageList::resourcename(index) ("<prefix><index>")
// or the resource's own name; a missing picture shows nothing.
#pragma once

#include <QApplication>
#include <QPointer>
#include <memory>
#include <unordered_map>

#include "platform/backend.h"
#include "platform/form.h"
#include "platform/qt/qtdesktop.h"
#include "platform/qt/core/qttimers.h"

namespace platform::qt {

class FormView;

class QtBackend : public Backend {
  public:
    // Creates the application object (unless one exists) and installs this backend.
    QtBackend(int& argc, char** argv);
    ~QtBackend() override;
    QtBackend(const QtBackend&) = delete;
    QtBackend& operator=(const QtBackend&) = delete;

    // Shows the main window and runs the event loop until that form has closed.
    int run(Form& mainform);

    TimerHost& timers() override { return timers_; }
    Desktop& desktop() override { return desktop_; }
    std::unique_ptr<ClientSocket> createsocket() override;
    void showmodal(Form& f) override;
    void show(Form& f) override;
    void closed(Form& f) override;
    void post(std::function<void()> fn) override;

    // The window showing a form, or null.
    QWidget* window(const Form& f) const;
    QtTimerHost& timerhost() { return timers_; }

  private:
    FormView* open(Form& f, bool modal);
    void forget(FormView& v);

    std::unique_ptr<QApplication> app_;
    QtTimerHost timers_;
    QtDesktop desktop_;
    std::unordered_map<const Form*, FormView*> views_;
    std::vector<QPointer<QWidget>> windows_;  // every window made, to clear up at the end
    Form* mainform_ = nullptr;
};

}  // namespace platform::qt
