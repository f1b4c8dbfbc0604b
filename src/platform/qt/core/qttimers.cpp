#include "platform/qt/core/qttimers.h"

namespace platform::qt {

QtTimerHost::~QtTimerHost() {
    // owner_ deletes the remaining QTimers; a deleted Timer has already removed its own.
    timers_.clear();
}

void QtTimerHost::update(Timer& t) {
    QTimer*& q = timers_[&t];
    if (!q) {
        q = new QTimer(&owner_);
        QObject::connect(q, &QTimer::timeout, q, [&t] { t.fire(); });
    }
    // start() restarts the interval from now, as the classic timers do on re-enabling.
    if (t.enabled() && t.interval() > 0) {
        q->start(t.interval());
    } else {
        q->stop();
    }
}

void QtTimerHost::remove(Timer& t) {
    auto it = timers_.find(&t);
    if (it == timers_.end()) return;
    QTimer* q = it->second;
    timers_.erase(it);
    q->stop();
    q->disconnect();
    // The timer may be destroyed from inside its own timeout handler.
    q->deleteLater();
}

QTimer* QtTimerHost::qtimer(const Timer& t) const {
    auto it = timers_.find(&t);
    return it == timers_.end() ? nullptr : it->second;
}

}  // namespace platform::qt
