// The plug-in's two host message boxes, the only code that calls
// SvApiWndMessageBox. Host thread.
#pragma once

#include <string>

namespace orvella {

// Shows `text` in a notice box (SVAPI_BOX_NOTICE); its answer means nothing.
void show_notice(const char* text);
inline void show_notice(const std::string& text) { show_notice(text.c_str()); }

// Asks `question` in a confirm-or-cancel box (SVAPI_BOX_CONFIRM). False only
// when the user cancelled; any other answer confirms.
bool confirmed(const std::string& question);

}  // namespace orvella
