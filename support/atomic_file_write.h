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

#include "support/file_version.h"

namespace orvella {

// Writes the file at `path` anew through `write`, which prints the whole
// contents into the stream it is given and returns false on a failure of its
// own. When `path` is a symbolic link (or a chain of them), the file it
// points to is replaced and the link stays. Returns true once the new
// contents are in place and synced to the disk; the folder is synced after
// the rename too, where it can be opened, so the new name also survives a
// power cut. No folder is created. The
// replaced file keeps its permission bits; a new one gets 0666 less the
// umask, as fopen gives.
//
// When the folder refuses the new file for want of permission but the
// destination is a regular file that may be read and written, that file is
// rewritten in place instead: room for the new contents is reserved before
// anything is overwritten, and a failed write puts the old bytes back, so
// the file holds either its old or its new contents whenever this returns.
// Two cases can cut it: a crash in the middle of it, and a full disk on a
// copy-on-write file system (btrfs; APFS, which macOS uses; ZFS), where
// overwriting needs free space the reservation does not keep, so that the
// write and then putting the old bytes back can both fail, leaving a mix of
// old and new bytes. Otherwise
// false leaves the destination as
// it was and no temporary file behind: the destination exists but is no
// regular file or may not be written, the folder takes no new file, or
// writing, flushing, syncing, closing or renaming fails.
//
// `read`, when given, is the version of the file at `path` that the caller
// read (no file, when there was none): the write goes on only while the path
// still names that file in that state, which is compared before anything is
// linked, renamed or written in place. A file changed since, or one that
// appeared, stays as it is, and the result is false.
//
// `before_replacing`, when given, is called with the path of the file about
// to be replaced (links followed) once the new contents are written and
// synced beside it, and only when such a file exists; false from it leaves
// that file as it was. Such a file is never rewritten in place: what the
// call does with it (a second name, say) would be overwritten with it.
bool write_file_atomically(const std::string& path,
                           const std::function<bool(std::FILE*)>& write,
                           const FileVersion* read = nullptr,
                           const std::function<bool(const std::string&)>& before_replacing = {});

}  // namespace orvella
