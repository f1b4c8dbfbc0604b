#include "platform/testkit/virtualclock.h"

#include <algorithm>

namespace platform {

void VirtualClock::update(Timer& t) {
    if (t.enabled() && t.interval() > 0) {
        due_[&t] = Entry{now() + t.interval(), seq_++};
    } else {
        due_.erase(&t);
    }
}

void VirtualClock::remove(Timer& t) {
    due_.erase(&t);
}

std::int64_t VirtualClock::due(const Timer& t) const {
    auto it = due_.find(&t);
    return it == due_.end() ? -1 : it->second.due;
}

void VirtualClock::advance(std::int64_t ms) {
    const std::int64_t target = now() + ms;
    for (;;) {
        auto next = std::min_element(due_.begin(), due_.end(), [](const auto& a, const auto& b) {
            return a.second.due != b.second.due ? a.second.due < b.second.due
                                                : a.second.seq < b.second.seq;
        });
        if (next == due_.end() || next->second.due > target) break;
        Timer* t = const_cast<Timer*>(next->first);
        now_.store(next->second.due, std::memory_order_relaxed);
        next->second = Entry{now() + t->interval(), seq_++};
        t->fire();
        if (onidle) onidle();
    }
    now_.store(target, std::memory_order_relaxed);
    if (onidle) onidle();
}

}  // namespace platform
