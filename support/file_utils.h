// Small path and file services for installation discovery, the file log and
// the live-link loader. Paths are byte strings handed to the system as they
// are: nothing is normalised, expanded or limited in length. None of these
// keeps state or reports an error; all may run on any thread.
#pragma once

#include <cstdint>
#include <string>

namespace orvella {

// True when stat() on the path succeeds (links followed) and it names a
// directory; every stat failure counts as false.
bool is_directory(const std::string& path);

// The size of the file in bytes, or 0 when it cannot be opened for reading
// (so a missing, an unreadable and an empty file all give 0).
std::uint64_t file_size(const std::string& path);

// first + "/" + second, the separator always inserted, even after a
// trailing "/" or before a leading one.
std::string join_path(const std::string& first, const std::string& second);

}  // namespace orvella
