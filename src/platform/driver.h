// A line-oriented driver for end-to-end tests: it works the program through its own controls,
// as an operator would, and reports what the controls show. Enabled only on request.
//   click FORM CONTROL      a button, check box or label click
//   menu FORM ITEM          a menu item (main menu or a menu button's drop-down)
//   type FORM CONTROL TEXT  types the text into an edit, character by character
//   set FORM CONTROL TEXT   replaces an edit's text (an address edit takes a dotted address)
//   close FORM              the title bar's close box
//   state FORM CONTROL      "enabled=0|1 visible=0|1 caption=... text=..." (a chart adds size=WxH)
//   status FORM             the status bar's text
//   forms                   the names of the forms alive, showing ones marked with '*'
// Each command answers one line: "ok ...", or "error ..." when it cannot be done.
#pragma once

#include <string>

namespace platform {

std::string runcommand(const std::string& line);

}  // namespace platform
