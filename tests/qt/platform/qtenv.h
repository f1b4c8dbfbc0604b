// One Qt backend (and application object) for the whole test program.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QTest>
#include <utility>

#include "platform/qt/qtbackend.h"

namespace qttest {

platform::qt::QtBackend& backend();

// Runs the event loop until `cond` holds, at most `ms`; whether it came to hold. Checked with
// EXPECT/ASSERT: a failed QTRY_ macro reports to QtTest, which GoogleTest never hears of.
template <typename Cond>
bool eventually(Cond&& cond, int ms = 5000) {
    return QTest::qWaitFor(std::forward<Cond>(cond), ms);
}

// Lets deleteLater'd windows go.
inline void flushdeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace qttest
