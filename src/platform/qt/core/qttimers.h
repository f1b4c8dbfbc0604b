// Runs the platform timers on QTimers of the user-interface thread.
#pragma once

#include <QObject>
#include <QTimer>
#include <unordered_map>

#include "platform/timer.h"

namespace platform::qt {

class QtTimerHost : public TimerHost {
  public:
    QtTimerHost() = default;
    ~QtTimerHost() override;
    void update(Timer& t) override;
    void remove(Timer& t) override;
    // The QTimer behind a platform timer, or null (for tests).
    QTimer* qtimer(const Timer& t) const;

  private:
    QObject owner_;  // parent of every QTimer
    std::unordered_map<const Timer*, QTimer*> timers_;
};

}  // namespace platform::qt
