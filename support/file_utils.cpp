#include "support/file_utils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "support/descriptor.h"

namespace orvella {
namespace {

// Reads into `contents` until end of file or until it holds `limit` bytes.
bool read_up_to(int fd, std::size_t limit, std::size_t size_hint, std::string& contents) {
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

}  // namespace

bool read_regular_file(const std::string& path, std::size_t max_bytes, std::string& contents) {
    contents.clear();
    // Without O_NONBLOCK, opening a FIFO would wait for a writer; the kind
    // of file is then judged on what was opened, not on an earlier stat.
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0) return false;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        static_cast<std::uint64_t>(info.st_size) > max_bytes) {
        return false;
    }
    const int flags = ::fcntl(file.get(), F_GETFL);
    if (flags < 0 || ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return false;
    // One byte past the bound tells a file that grew beyond it.
    const std::size_t limit = max_bytes < SIZE_MAX ? max_bytes + 1 : max_bytes;
    const std::size_t size = static_cast<std::size_t>(info.st_size);
    if (!read_up_to(file.get(), limit, size + 1, contents) || contents.size() > max_bytes) {
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

std::string join_path(const std::string& first, const std::string& second) {
    std::string joined;
    joined.reserve(first.size() + 1 + second.size());
    joined.append(first).append("/").append(second);
    return joined;
}

}  // namespace orvella
