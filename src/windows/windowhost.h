// What a measurement window needs from the program that opens it.
#pragma once

#include <cstdint>

namespace platform {
struct ImageList;
}

namespace windows {

class WindowHost {
  public:
    virtual ~WindowHost() = default;
    // The pictures the logo is taken from (index 0).
    virtual const platform::ImageList& logo() const = 0;
    // Debug mode: the window makes its own captures once a second.
    virtual bool debugmode() const = 0;
    // Measures one made-up capture and shows it in the open window.
    virtual void simulatedata() = 0;
    // The latest status block from the exciter, for the readout.
    virtual const std::uint8_t* statusblock() const = 0;
    // The window has closed: the host takes up the cycle without it.
    virtual void formclosed() = 0;
};

}  // namespace windows
