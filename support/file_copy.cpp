#include "support/file_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "support/descriptor.h"
#include "support/file_owner.h"
#include "support/file_utils.h"

namespace orvella {
namespace {

bool write_all(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

bool copy_bytes(int from, int to) {
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        if (!write_all(to, buffer, static_cast<std::size_t>(got))) return false;
    }
}

}  // namespace

bool copy_to_new_file(const std::string& source, const std::string& destination) {
    // Opened without blocking, so a FIFO is refused instead of waited on.
    const Descriptor from(::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (from.get() < 0) return false;
    struct stat info {};
    const int flags = ::fcntl(from.get(), F_GETFL);
    if (::fstat(from.get(), &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
        ::fcntl(from.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        errno = EINVAL;
        return false;
    }
    Descriptor to(::open(destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                         info.st_mode & 0777));
    if (to.get() < 0) return false;
    // Removes a copy that did not finish.
    FileOwner copy(destination);
    if (!copy_bytes(from.get(), to.get()) || !sync_to_disk(to.get()) || !to.close()) return false;
    copy.keep();
    return true;
}

}  // namespace orvella
