// Makers of the control views that live in files of their own.
#pragma once

#include <QWidget>

#include "platform/chart.h"
#include "platform/component.h"

namespace platform::qt {

class ControlView;
class FormView;

ControlView* makeeditview(Edit& e, QWidget* parent, FormView& owner);
ControlView* makeipview(IpEdit& e, QWidget* parent, FormView& owner);
ControlView* makestatusview(StatusBar& s, QWidget* parent, FormView& owner);
ControlView* makechartview(Chart& c, QWidget* parent, FormView& owner);

}  // namespace platform::qt
