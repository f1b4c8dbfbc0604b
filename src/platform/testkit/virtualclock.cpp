#include "platform/testkit/virtualclock.h"

#include <algorithm>
#include <utility>

namespace platform {

const VirtualClock::Entry* VirtualClock::find(const Timer& t) const {
    for (const Entry& e : due_)
        if (e.timer == &t) return &e;
    return nullptr;
}

VirtualClock::Entry* VirtualClock::find(const Timer& t) {
    return const_cast<Entry*>(std::as_const(*this).find(t));
}

void VirtualClock::erase(const Timer& t) {
    if (Entry* e = find(t)) {
        *e = due_.back();
        due_.pop_back();
    }
}

void VirtualClock::update(Timer& t) {
    if (!t.enabled() || t.interval() <= 0) return erase(t);
    const Entry armed{&t, now() + t.interval(), seq_++};
    if (Entry* e = find(t))
        *e = armed;
    else
        due_.push_back(armed);
}

void VirtualClock::remove(Timer& t) {
    erase(t);
}

std::int64_t VirtualClock::due(const Timer& t) const {
    const Entry* e = find(t);
    return e ? e->due : -1;
}

void VirtualClock::advance(std::int64_t ms) {
    const std::int64_t target = now() + ms;
    for (;;) {
        auto next = std::min_element(due_.begin(), due_.end(), [](const Entry& a, const Entry& b) {
            return a.due != b.due ? a.due < b.due : a.seq < b.seq;
        });
        if (next == due_.end() || next->due > target) break;
        Timer* t = const_cast<Timer*>(next->timer);
        now_.store(next->due, std::memory_order_relaxed);
        next->due = now() + t->interval();
        next->seq = seq_++;
        t->fire();
        if (onidle) onidle();
    }
    now_.store(target, std::memory_order_relaxed);
    if (onidle) onidle();
}

}  // namespace platform
