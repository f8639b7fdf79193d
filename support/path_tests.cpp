#include "support/path_tests.h"

#include <sys/stat.h>

namespace orvella {

bool path_exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

bool is_directory(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    return (info.st_mode & S_IFDIR) != 0;
}

bool is_existing_directory(const std::string& path) {
    // A stored "&#0;" reads as a NUL byte, while the export path carries
    // the whole value.
    if (path.find('\0') != std::string::npos) return false;
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == S_IFDIR;
}

}  // namespace orvella
