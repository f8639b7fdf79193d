// Which file, in which state, a path names: what a writer compares before it
// replaces a file it read, so that it never replaces another one.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <ctime>
#include <string>

namespace orvella {

// A file's device, inode, size and modification time, or no file at all.
// Two versions are equal when both name no file, or the same file with the
// same size and modification time: a write through another name, a rename
// over the path or a new file where there was none makes them differ.
struct FileVersion {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified {};

    static FileVersion of(const struct stat& info);
    // What `path` names now (links followed); no file when stat fails.
    static FileVersion at(const std::string& path);
};

bool operator==(const FileVersion& a, const FileVersion& b);
inline bool operator!=(const FileVersion& a, const FileVersion& b) { return !(a == b); }

}  // namespace orvella
