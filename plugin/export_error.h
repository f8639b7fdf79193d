// What the user reads when the host's export service fails.
#pragma once

#include <string>

namespace orvella {

// The upper-case word of a host export code, "UNKNOWN" for a code outside
// the host's table (0 and every positive code among them).
const char* export_error_word(int code);

// "Export failed with error: " followed by the code's word.
std::string export_error_text(int code);

}  // namespace orvella
