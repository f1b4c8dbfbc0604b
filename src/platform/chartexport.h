// Saving a chart as the user sees it.
#pragma once

#include <string>

#include "platform/chart.h"

namespace platform {

// Writes the chart's on-screen picture to `file` as a JPEG (quality 100, full-resolution
// colour). False with the reason in `error` when the chart is not drawn or the file cannot be
// written.
bool exportchartjpeg(const Chart& chart, const std::string& file, std::string& error);

// The backend that draws charts provides the encoder; without one nothing is drawn to save.
using ChartExporter = bool (*)(const Chart&, const std::string&, std::string&);
void setchartexporter(ChartExporter exporter);

}  // namespace platform
