// Reading (or first creating) config.ini beside the executable.
#pragma once

#include <string>

#include "platform/component.h"
#include "services/settings.h"

// Fills every field of `settings` from exefolder + "config.ini". A missing file is created with
// the defaults; an existing one is only read. Never shows a message: whatever the file holds,
// the settings end up with a value.
void loadconfig(const std::string& exefolder, platform::IpEdit& ipedt_dest, Settings& settings);
