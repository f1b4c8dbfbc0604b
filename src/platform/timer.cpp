#include "platform/timer.h"

#include "platform/backend.h"

namespace platform {

Timer::Timer(std::string name, int interval, bool enabled)
    : name_(std::move(name)), interval_(interval), enabled_(enabled) {
    backend().timers().update(*this);
}

Timer::~Timer() {
    backend().timers().remove(*this);
}

void Timer::setinterval(int ms) {
    if (ms == interval_) return;
    interval_ = ms;
    backend().timers().update(*this);
}

void Timer::setenabled(bool e) {
    if (e == enabled_) return;
    enabled_ = e;
    backend().timers().update(*this);
}

}  // namespace platform
