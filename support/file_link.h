// A second name for a file in its own folder: its bytes outlive the
// replacement of the first name without being copied (a sparse file stays
// sparse, a large one costs nothing).
#pragma once

#include <string>

namespace orvella {

enum class SecondName {
    added,         // `name` now names the file too
    already_there, // `name` already named the very same file
    taken,         // `name` names something else, which stays as it is
    failed,        // the system refused (errno says why), e.g. a folder
                   // that takes no new name, or another file system
};

// Gives the file at `file` (not a symbolic link: the one named is given the
// name) the hard link `name`, which must not exist yet. Nothing is ever
// written over. Callable from any thread; keeps no state.
SecondName add_second_name(const std::string& file, const std::string& name);

}  // namespace orvella
