// Replacing a file so that a failed write never damages what it held.
//
// The new contents go into a fresh file beside the destination and take its
// place with one rename, so a reader (or the next start after a crash) sees
// either the whole old file or the whole new one. Only where the folder
// takes no new file but the file itself may be written is the file rewritten
// in place instead. Callable from any thread; keeps no state.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace orvella {

// Writes the file at `path` anew through `write`, which prints the whole
// contents into the stream it is given and returns false on a failure of its
// own. When `path` is a symbolic link (or a chain of them), the file it
// points to is replaced and the link stays. Returns true once the new
// contents are in place and synced to the disk. No folder is created. The
// replaced file keeps its permission bits; a new one gets 0666 less the
// umask, as fopen gives.
//
// When the folder refuses the new file for want of permission but the
// destination is a writable regular file, that file is truncated and
// rewritten in place instead; a failure part-way then leaves it incomplete,
// as any rewrite in place would. Otherwise false leaves the destination as
// it was and no temporary file behind: the destination exists but is no
// regular file or may not be written, the folder takes no new file, or
// writing, flushing, syncing, closing or renaming fails.
bool write_file_atomically(const std::string& path,
                           const std::function<bool(std::FILE*)>& write);

}  // namespace orvella
