// Small path and file services for installation discovery, the file log,
// the live-link loader and the settings store. Paths are byte strings handed
// to the system as they are: nothing is normalised, expanded or limited in
// length. None of these keeps state; a failure is a value, never an
// exception; all may run on any thread.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <string>

#include "support/descriptor.h"
#include "support/file_version.h"

namespace orvella {

// The regular file at `path` (links followed), opened with `flags` (its
// access mode and any extra flags; close-on-exec and no controlling
// terminal are added), with `info` filled from what was opened. Opened
// without blocking, so a FIFO is refused instead of waited on; the
// descriptor returned blocks. -1 (errno EINVAL for what is no regular
// file) when it cannot be opened or is no regular file.
Descriptor open_regular_file(const std::string& path, int flags, struct stat& info);

// Reads from `fd`'s position into `contents` until the end of the file or
// until it holds `limit` bytes; `size_hint`, the size expected, saves
// regrowing. False on a read error.
bool read_open_file(int fd, std::size_t limit, std::size_t size_hint, std::string& contents);

// Writes all `size` bytes at `offset` of `fd`; false on an error or when
// the disk takes no more.
bool write_all_at(int fd, const char* data, std::size_t size, off_t offset);

// The whole file at `path` (links followed), when it is a regular file of at
// most `max_bytes` bytes: true, and `contents` holds its bytes. Anything else
// gives false and an empty `contents`: a missing or unreadable path, a
// directory, a device, a FIFO or socket (opened without blocking, and never
// read), a file above the bound (also one that grows past it while read).
// Never reads more than max_bytes + 1 bytes. `version`, when given, is that
// of the file opened, read or not; of what the path names when nothing
// could be opened.
bool read_regular_file(const std::string& path, std::size_t max_bytes, std::string& contents,
                       FileVersion* version = nullptr);

// Pushes what was written through `fd` to the storage device and returns
// whether that worked. macOS's fsync leaves the data in the drive's own
// cache, so fcntl(F_FULLFSYNC) goes first where the system has it; fsync is
// the fallback when it has not, or when the file system refuses it.
bool sync_to_disk(int fd);

// Makes the entries of the folder at `path` (a rename into it, a new or
// removed name) survive a power cut, as sync_to_disk does for a file's
// bytes: on Linux fsync on the folder, on macOS fcntl(F_FULLFSYNC) where the
// file system takes it on a folder, fsync where not. False when the folder
// cannot be opened for reading or the sync failed.
bool sync_folder(const std::string& path);

// first + "/" + second, the separator always inserted, even after a
// trailing "/" or before a leading one.
std::string join_path(const std::string& first, const std::string& second);

}  // namespace orvella
