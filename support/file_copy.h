// Keeping a file's bytes in a new file of its own.
#pragma once

#include <string>

namespace orvella {

// Copies the regular file at `source` (links followed) into a file created
// at `destination`, which must not exist yet: nothing is ever written over.
// The copy gets the source's permission bits. Returns true once every byte
// is copied and synced to the disk. On false nothing is left at
// `destination` that this call made, and errno is EEXIST when something
// was there already. Callable from any thread; keeps no state.
bool copy_to_new_file(const std::string& source, const std::string& destination);

}  // namespace orvella
