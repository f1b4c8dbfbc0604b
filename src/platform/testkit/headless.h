// The headless backend: component models without windows, a virtual clock, scripted sockets and
// scripted dialogs. Tests install one per test.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/desktop.h"
#include "platform/testkit/scriptedsocket.h"
#include "platform/testkit/virtualclock.h"

namespace platform {

class HeadlessDesktop : public Desktop {
  public:
    void errorbox(const std::string& text) override;
    Answer question(const std::string& text) override;
    bool savedialog(SaveDialog& dlg) override;
    bool folderdialog(std::string& folder) override;
    std::string exefolder() override { return exefolder_; }
    LocalTime localtime() override;
    std::string fileversion() override { return version; }
    bool openurl(const std::string& url) override;
    void sleepms(int ms) override { slept += ms; }

    // Script.
    std::string exefolder_ = "./";
    std::string version = "1.0.7.0";
    // Local time: a fixed start plus the virtual clock's time when one is attached.
    LocalTime start{2024, 3, 7, 14, 5, 9, 0};
    const VirtualClock* clock = nullptr;
    std::deque<Answer> answers;             // for question(); default Cancel
    std::deque<std::string> savechoices;    // for savedialog(); empty = cancel
    std::deque<std::string> folderchoices;  // for folderdialog(); empty = cancel
    bool openurlresult = true;
    std::function<void(const std::string&)> onerrorbox;  // runs inside errorbox()

    // Record.
    std::vector<std::string> errorboxes() const;
    std::vector<std::string> questions;
    std::vector<SaveDialog> savedialogs;  // as shown (filter, preset name)
    std::vector<std::string> openedurls;
    int slept = 0;

  private:
    mutable std::mutex mutex_;  // error boxes may come from worker threads
    std::vector<std::string> errorboxes_;
};

class HeadlessBackend : public Backend {
  public:
    HeadlessBackend();
    ~HeadlessBackend() override;

    TimerHost& timers() override { return clock; }
    Desktop& desktop() override { return desk; }
    std::unique_ptr<ClientSocket> createsocket() override;
    void showmodal(Form& f) override;
    void show(Form& f) override;
    void closed(Form& f) override;
    void post(std::function<void()> fn) override;

    // Runs deferred calls (also after every timer event of the clock).
    void processevents();

    VirtualClock clock;
    HeadlessDesktop desk;
    std::vector<ScriptedSocket*> sockets;  // every socket created, owned by its creator
    std::vector<Form*> modalstack;         // forms shown modally and not yet closed
    std::vector<std::string> modalshown;   // names of forms shown modally, in order

  private:
    std::mutex deferredmutex_;  // worker threads post too
    std::deque<std::function<void()>> deferred_;
    // Set while deferred_ holds calls: the clock runs processevents after every timer event, and
    // most find nothing to do without taking the lock.
    std::atomic<bool> pending_{false};
};

}  // namespace platform
