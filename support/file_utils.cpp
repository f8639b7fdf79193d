#include "support/file_utils.h"

#include <sys/stat.h>

#include <fstream>

namespace orvella {

bool is_directory(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    return (info.st_mode & S_IFDIR) != 0;
}

std::uint64_t file_size(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    const std::streamoff end = file.tellg();
    return end < 0 ? 0 : static_cast<std::uint64_t>(end);
}

std::string join_path(const std::string& first, const std::string& second) {
    std::string joined;
    joined.reserve(first.size() + 1 + second.size());
    joined.append(first).append("/").append(second);
    return joined;
}

}  // namespace orvella
