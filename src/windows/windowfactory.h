// Creates the measurement window of a kind; null for none.
#pragma once

#include <memory>

#include "link/linkowner.h"
#include "windows/measurewindow.h"
#include "windows/windowhost.h"

std::unique_ptr<MeasureWindow> createmeasurewindow(exciter::WindowKind kind,
                                                   windows::WindowHost& host);
