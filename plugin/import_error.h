// What the user reads when a hand-off to Orvella fails.
#pragma once

#include <string>

#include "handoff/renderer_import.h"

namespace orvella {

// The upper-case word of an import status, "UNKNOWN" for a status outside
// the table (0 has no word: nothing is reported for it).
const char* import_error_word(int status);

// "Import failed with error: " followed by the request's status word.
std::string import_error_text(const ImportRequest& request);

}  // namespace orvella
