// The "C" locale as a locale object, for system texts and numbers that must not follow the
// desktop's language (the toolkit sets the process locale from the environment at start-up).
#pragma once

#include <locale.h>

namespace platform {

// Made once and kept for the whole run; null only if memory ran out making it.
locale_t fixedlocale();

// After the toolkit took the process locale from the environment: figures ("%2.1f" and the
// like) keep a point as their decimal mark and the system's texts stay English whatever the
// desktop's language; character set and dates follow the desktop.
void keepfixednumbersandtexts();

}  // namespace platform
