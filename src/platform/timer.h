// Interval timers on the user-interface thread. The backend's TimerHost runs them: QTimer in the
// desktop build, a virtual clock in tests.
#pragma once

#include <functional>
#include <string>

namespace platform {

class Timer;

class TimerHost {
  public:
    virtual ~TimerHost() = default;
    // The timer's enabled state or interval changed: (re)start its interval from now, or stop it.
    virtual void update(Timer& t) = 0;
    virtual void remove(Timer& t) = 0;
};

class Timer {
  public:
    explicit Timer(std::string name, int interval = 1000, bool enabled = true);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    const std::string& name() const { return name_; }
    int interval() const { return interval_; }
    void setinterval(int ms);
    bool enabled() const { return enabled_; }
    void setenabled(bool e);
    // Disable and enable, so the interval counts afresh from now.
    void restart() {
        setenabled(false);
        setenabled(true);
    }

    std::function<void()> ontimer;
    void fire() {
        if (enabled_ && ontimer) ontimer();
    }

  private:
    std::string name_;
    int interval_;
    bool enabled_;
};

}  // namespace platform
