// What tests reach inside the file log: the time of day of a given moment.
#pragma once

#include <ctime>
#include <string>

#include "support/file_log.h"

namespace orvella {

// log_time_text() for a given moment (seconds since the epoch and the
// microseconds within that second): what it formats.
std::string log_time_text(std::time_t seconds, long microseconds);

}  // namespace orvella
