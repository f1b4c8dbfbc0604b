// The toolkit behind the component models: the Qt backend on the desktop, the headless one in
// tests. One backend is installed for the whole process.
#pragma once

#include <functional>
#include <memory>

namespace platform {

class Form;
class TimerHost;
class ClientSocket;
class Desktop;

class Backend {
  public:
    virtual ~Backend() = default;
    virtual TimerHost& timers() = 0;
    virtual Desktop& desktop() = 0;
    virtual std::unique_ptr<ClientSocket> createsocket() = 0;
    // Runs the form modally (Qt: until it closes; headless: marks it shown and returns).
    virtual void showmodal(Form& f) = 0;
    virtual void show(Form& f) = 0;
    // The form's close path has run: hide it and end its modal loop.
    virtual void closed(Form& f) = 0;
    // Runs fn on the user-interface thread after the current event has been handled. Safe from
    // any thread, and never waits for the user-interface thread.
    virtual void post(std::function<void()> fn) = 0;
};

Backend& backend();
// Installs the process's backend; the caller keeps it alive while it is installed.
void setbackend(Backend* b);
Desktop& desktop();

}  // namespace platform
