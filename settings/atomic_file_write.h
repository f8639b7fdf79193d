// Replacing a file so that a failed write never damages what it held.
//
// The new contents go into a fresh file beside the destination and take its
// place with one rename, so a reader (or the next start after a crash) sees
// either the whole old file or the whole new one. Callable from any thread;
// keeps no state.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace orvella {

// Writes the file at `path` anew through `write`, which prints the whole
// contents into the stream it is given and returns false on a failure of its
// own. When `path` is a symbolic link (or a chain of them), the file it
// points to is replaced and the link stays. Returns true once the new file is
// in place. On false the destination is as it was and no temporary file is
// left; that happens when the destination exists but is no regular file or
// may not be written, the folder takes no new file, or writing, flushing,
// syncing, closing or renaming fails. No folder is created. The replaced
// file keeps its permission bits; a new one gets 0666 less the umask, as
// fopen gives.
bool write_file_atomically(const std::string& path,
                           const std::function<bool(std::FILE*)>& write);

}  // namespace orvella
