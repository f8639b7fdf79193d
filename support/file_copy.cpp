#include "support/file_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "support/file_owner.h"
#include "support/file_utils.h"

namespace orvella {
namespace {

bool copy_bytes(int from, int to) {
    char buffer[64 * 1024];
    off_t copied = 0;
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        if (!write_all_at(to, buffer, static_cast<std::size_t>(got), copied)) return false;
        copied += got;
    }
}

}  // namespace

bool copy_to_new_file(const std::string& source, const std::string& destination) {
    struct stat info {};
    const Descriptor from = open_regular_file(source, O_RDONLY, info);
    if (from.get() < 0) return false;
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
