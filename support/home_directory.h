// The user's home directory, under which the preferences file lives.
#pragma once

#include <string>

namespace orvella {

// "HOME" when it is set, even to an empty text; otherwise the password
// database's home of the real user; "" when that has no entry either.
// Any thread.
std::string home_directory();

}  // namespace orvella
