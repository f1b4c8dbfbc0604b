#include "platform/chartexport.h"

namespace platform {

namespace {
ChartExporter installed = nullptr;
}

void setchartexporter(ChartExporter exporter) {
    installed = exporter;
}

bool exportchartjpeg(const Chart& chart, const std::string& file, std::string& error) {
    if (!installed) {
        error = "The chart is not shown.";
        return false;
    }
    return installed(chart, file, error);
}

}  // namespace platform
