// One Qt backend (and application object) for the whole test program.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>

#include "platform/qt/qtbackend.h"

namespace qttest {

platform::qt::QtBackend& backend();

// Lets deleteLater'd windows go.
inline void flushdeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace qttest
