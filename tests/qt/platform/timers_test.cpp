// Platform timers on QTimers.
#include <QTest>

#include "platform/timer.h"
#include "qtenv.h"

namespace {

TEST(QtTimers, FireWhileEnabledAndStopWhenDisabled) {
    auto& host = qttest::backend().timerhost();
    platform::Timer t("poll", 10, false);
    int fired = 0;
    t.ontimer = [&] { ++fired; };
    ASSERT_NE(host.qtimer(t), nullptr);
    EXPECT_FALSE(host.qtimer(t)->isActive());
    t.setenabled(true);
    EXPECT_TRUE(host.qtimer(t)->isActive());
    EXPECT_EQ(host.qtimer(t)->interval(), 10);
    EXPECT_TRUE(qttest::eventually([&] { return fired >= 2; }));
    t.setinterval(25);
    EXPECT_EQ(host.qtimer(t)->interval(), 25);
    t.setenabled(false);
    EXPECT_FALSE(host.qtimer(t)->isActive());
}

TEST(QtTimers, TimerMayBeDestroyedByItsOwnHandler) {
    auto t = std::make_unique<platform::Timer>("once", 1, true);
    t->ontimer = [&] { t.reset(); };
    EXPECT_TRUE(qttest::eventually([&] { return t == nullptr; }));
    qttest::flushdeletes();
}

}  // namespace
