// A clock for tests: time moves only when advance() is called, and due timers fire in order.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/timer.h"

namespace platform {

class VirtualClock : public TimerHost {
  public:
    // Safe from any thread: worker threads take their time stamps from it.
    std::int64_t now() const { return now_.load(std::memory_order_relaxed); }
    // Moves time forward by ms, firing every timer that falls due, earliest first (ties in the
    // order they were armed). Handlers may start and stop timers, including their own.
    void advance(std::int64_t ms);
    // Whether the timer is running, and when it fires next.
    bool armed(const Timer& t) const { return find(t) != nullptr; }
    std::int64_t due(const Timer& t) const;

    void update(Timer& t) override;
    void remove(Timer& t) override;

    std::function<void()> onidle;  // runs after each timer event (deferred calls)

  private:
    struct Entry {
        const Timer* timer;
        std::int64_t due;
        std::uint64_t seq;  // when it was armed: ties fire in that order
    };
    const Entry* find(const Timer& t) const;
    Entry* find(const Timer& t);
    void erase(const Timer& t);

    std::atomic<std::int64_t> now_{0};  // written by the thread that advances the clock
    std::uint64_t seq_ = 0;
    // The running timers, in no order: a program has a handful, so a scan beats a tree, and the
    // clock scans them at every event.
    std::vector<Entry> due_;
};

}  // namespace platform
