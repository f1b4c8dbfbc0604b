// The Qt backend's chart encoder, installed with platform::setchartexporter.
#pragma once

#include <string>

#include "platform/chart.h"

namespace platform::qt {

// Grabs the chart's widget and writes it with libjpeg; the contract is platform::exportchartjpeg's.
bool grabchartjpeg(const Chart& chart, const std::string& file, std::string& error);

}  // namespace platform::qt
