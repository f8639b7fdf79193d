#include "support/file_version.h"

namespace orvella {

FileVersion FileVersion::of(const struct stat& info) {
    FileVersion version;
    version.exists = true;
    version.device = info.st_dev;
    version.inode = info.st_ino;
    version.size = info.st_size;
#ifdef __APPLE__
    version.modified = info.st_mtimespec;
#else
    version.modified = info.st_mtim;
#endif
    return version;
}

FileVersion FileVersion::at(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? of(info) : FileVersion();
}

bool operator==(const FileVersion& a, const FileVersion& b) {
    if (!a.exists || !b.exists) return a.exists == b.exists;
    return a.device == b.device && a.inode == b.inode && a.size == b.size &&
           a.modified.tv_sec == b.modified.tv_sec && a.modified.tv_nsec == b.modified.tv_nsec;
}

}  // namespace orvella
