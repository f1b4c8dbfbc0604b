// The capture windows' charts of one measurement as picture files, drawn by the windows
// themselves (offscreen), so they look as the operator would have seen them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace analyze {

// Draws the Constellation, Eye-diagram, Spectrum and Amplitude windows for `resultblock` and
// saves their charts in `folder` as NAME-constellation.jpg, NAME-eye.jpg, NAME-spectrum.jpg,
// NAME-flatness.jpg and NAME-group-delay.jpg. `settle` lets the backend paint what the windows
// were given. False with the first failure.
bool drawcharts(const std::string& folder, const std::string& name, const std::uint8_t* resultblock,
                const std::array<std::uint8_t, 4>& status, const std::function<void()>& settle,
                std::string& error);

}  // namespace analyze
