// Reading (or first creating) config.ini.
#pragma once

#include <string>

#include "platform/component.h"
#include "services/settings.h"

// Fills every field of `settings` from configfolder + "config.ini". A missing file is created
// with the defaults, the auto-save folder being `savefolder`; an existing one is only read.
// Never shows a message: whatever the file holds, the settings end up with a value.
void loadconfig(const std::string& configfolder, const std::string& savefolder,
                platform::IpEdit& ipedt_dest, Settings& settings);
