#include "support/file_utils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace orvella {

Descriptor open_regular_file(const std::string& path, int flags, struct stat& info) {
    // Without O_NONBLOCK, opening a FIFO would wait for a writer; the kind
    // of file is then judged on what was opened, not on an earlier stat.
    Descriptor file(::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0) return file;
    const int status = ::fcntl(file.get(), F_GETFL);
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        status < 0 || ::fcntl(file.get(), F_SETFL, status & ~O_NONBLOCK) != 0) {
        errno = EINVAL;
        return Descriptor(-1);
    }
    return file;
}

bool read_open_file(int fd, std::size_t limit, std::size_t size_hint, std::string& contents) {
    std::size_t used = 0;
    contents.resize(std::min(limit, size_hint));
    for (;;) {
        if (used == contents.size()) {
            if (used == limit) break;
            contents.resize(std::min(limit, std::max<std::size_t>(2 * used, 4096)));
        }
        const ssize_t got = ::read(fd, &contents[used], contents.size() - used);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        used += static_cast<std::size_t>(got);
    }
    contents.resize(used);
    return true;
}

bool write_all_at(int fd, const char* data, std::size_t size, off_t offset) {
    while (size > 0) {
        const ssize_t put = ::pwrite(fd, data, size, offset);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        size -= static_cast<std::size_t>(put);
        offset += put;
    }
    return true;
}

bool read_regular_file(const std::string& path, std::size_t max_bytes, std::string& contents,
                       FileVersion* version) {
    contents.clear();
    struct stat info {};
    const Descriptor file = open_regular_file(path, O_RDONLY, info);
    if (version) *version = file.get() >= 0 ? FileVersion::of(info) : FileVersion::at(path);
    if (file.get() < 0 || static_cast<std::uint64_t>(info.st_size) > max_bytes) return false;
    // One byte past the bound tells a file that grew beyond it.
    const std::size_t limit = max_bytes < SIZE_MAX ? max_bytes + 1 : max_bytes;
    const std::size_t size = static_cast<std::size_t>(info.st_size);
    if (!read_open_file(file.get(), limit, size + 1, contents) || contents.size() > max_bytes) {
        contents.clear();
        return false;
    }
    return true;
}

bool sync_to_disk(int fd) {
#ifdef F_FULLFSYNC
    if (::fcntl(fd, F_FULLFSYNC) == 0) return true;
#endif
    return ::fsync(fd) == 0;
}

bool sync_folder(const std::string& path) {
    const Descriptor folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return folder.get() >= 0 && sync_to_disk(folder.get());
}

std::string join_path(const std::string& first, const std::string& second) {
    std::string joined;
    joined.reserve(first.size() + 1 + second.size());
    joined.append(first).append("/").append(second);
    return joined;
}

}  // namespace orvella
