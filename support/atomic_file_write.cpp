#include "support/atomic_file_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <utility>

#include "support/file_owner.h"
#include "support/file_utils.h"

namespace orvella {
namespace {

// As many links as the system itself follows before it gives up (ELOOP).
constexpr int kMaxLinkHops = 40;
constexpr int kMaxNameAttempts = 100;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string folder_of(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string name_of(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The text of the link at `path`, or false when it cannot be read.
bool read_link(const std::string& path, std::string& text) {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t length = ::readlink(path.c_str(), &buffer[0], buffer.size());
        if (length < 0) return false;
        if (static_cast<std::size_t>(length) < buffer.size()) {
            text.assign(buffer, 0, static_cast<std::size_t>(length));
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

// Follows the links that the last component of `path` names, so that the
// rename replaces the file they lead to and not the link; a link that leads
// nowhere yields the path a write through it would create. The folders on
// the way are left to the system.
bool final_target(std::string path, std::string& target) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            target = std::move(path);
            return true;
        }
        std::string link;
        if (!read_link(path, link) || link.empty()) return false;
        path = link[0] == '/' ? link : folder_of(path) + "/" + link;
    }
    return false;
}

// Creates a new, empty file beside `target` and returns its descriptor, or -1.
// The mode 0666 lets the umask decide, as it does for fopen.
int create_beside(const std::string& target, std::string& created) {
    static std::atomic<unsigned> counter{0};
    const std::string stem = folder_of(target) + "/." + name_of(target) + "." +
                             std::to_string(::getpid()) + ".";
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        const std::string candidate = stem + std::to_string(counter++) + ".tmp";
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            created = candidate;
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

// Flushes, syncs and closes; false when any of them failed.
bool finish(File file) {
    bool ok = std::fflush(file.get()) == 0;
    ok = ok && sync_to_disk(::fileno(file.get()));
    return std::fclose(file.release()) == 0 && ok;
}

// Rewrites the regular file at `target` through its existing descriptor:
// truncated, written, flushed and synced. Opened without blocking, so a FIFO
// in its place is refused instead of waited on.
bool write_in_place(const std::string& target, const std::function<bool(std::FILE*)>& write) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    File file(::fdopen(fd, "w"));
    if (!file) {
        ::close(fd);
        return false;
    }
    struct stat info {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 || ::ftruncate(fd, 0) != 0) {
        return false;
    }
    const bool written = write(file.get());
    return finish(std::move(file)) && written;
}

}  // namespace

bool write_file_atomically(const std::string& path,
                           const std::function<bool(std::FILE*)>& write) {
    std::string target;
    if (!final_target(path, target)) return false;

    // A file the user may not write stays as it is, as it would for a
    // rewrite in place; so does whatever is no regular file (a folder, a
    // device, a FIFO), which holds nothing this write could replace.
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && (!S_ISREG(existing.st_mode) || ::access(target.c_str(), W_OK) != 0)) {
        return false;
    }

    std::string created;
    const int fd = create_beside(target, created);
    if (fd < 0) {
        // A folder the user may not write, around a file the user may: the
        // file can still take the new contents, only not atomically.
        const bool folder_refused = errno == EACCES || errno == EPERM;
        return folder_refused && exists && write_in_place(target, write);
    }
    // Removes the temporary file unless it has become the destination.
    FileOwner temporary(created);
    // Best effort: the contents matter more than the permission bits.
    if (exists) (void)::fchmod(fd, existing.st_mode & 0777);

    File file(::fdopen(fd, "w"));
    if (!file) {
        ::close(fd);
        return false;
    }
    const bool written = write(file.get());
    // On disk before the rename, so a crash cannot leave an empty new file
    // in the old one's place.
    if (!finish(std::move(file)) || !written ||
        ::rename(temporary.path().c_str(), target.c_str()) != 0) {
        return false;
    }
    temporary.keep();
    return true;
}

}  // namespace orvella
