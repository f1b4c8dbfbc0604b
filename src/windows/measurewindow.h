// What every measurement window offers the acquisition cycle.
#pragma once

#include <cstdint>

namespace platform {
class Form;
}

class MeasureWindow {
  public:
    virtual ~MeasureWindow() = default;
    // Plots a new result block; a null pointer does nothing.
    virtual void showdata(const std::uint8_t* resultblock) = 0;
    // Shows a new status block in the readout; a null pointer does nothing.
    virtual void showstatus(const std::uint8_t* statusblock) = 0;
    // The engine refused the latest capture: the plot stays, but no verdict may stand as if it
    // were current. Windows without verdicts have nothing to drop.
    virtual void shownosignal() {}
    virtual platform::Form& form() = 0;
};
