// The water-ripple picture on Qt: decodes the JPEG picture with libjpeg, shows the model's
// frames and passes the mouse to the model.
#pragma once

#include <QByteArray>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "platform/waterimage.h"

namespace platform::qt {

class ControlView;
class FormView;

// Packed RGB pixels of a JPEG picture; empty (and w = h = 0) when it cannot be decoded.
std::vector<std::uint8_t> decodejpeg(const QByteArray& bytes, int& w, int& h);

ControlView* makewaterview(WaterImage& m, QWidget* parent, FormView& owner);

}  // namespace platform::qt
