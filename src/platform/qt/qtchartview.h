// The chart's widget, for what works on the drawn picture (the JPEG export).
#pragma once

#include <QWidget>

#include "platform/chart.h"

namespace platform::qt {

// The widget currently drawing the chart, or null when none does.
QWidget* chartwidget(const Chart& c);

}  // namespace platform::qt
