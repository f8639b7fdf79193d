#include "support/atomic_file_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <utility>

#include "support/file_owner.h"
#include "support/file_version.h"
#include "support/file_utils.h"
#include "support/xml_input.h"

namespace orvella {
namespace {

// As many links as the system itself follows before it gives up (ELOOP).
constexpr int kMaxLinkHops = 40;
constexpr int kMaxNameAttempts = 100;
// A file rewritten in place is first read whole, to be put back if the
// write fails; larger files than this are not rewritten in place. The files
// written are settings files, which are read within this bound, so the copy
// costs no more than their read.
constexpr std::uint64_t kMaxInPlaceBytes = kMaxXmlFileBytes;

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

// What `write` prints, in memory; false when it failed or memory ran out.
bool print_to_memory(const std::function<bool(std::FILE*)>& write, std::string& contents) {
    // The stream and the buffer it grows are freed however `write` ends, a
    // throw from it (SaveFile running out of memory) included.
    struct MemoryStream {
        char* buffer = nullptr;
        std::size_t size = 0;
        std::FILE* stream = nullptr;
        ~MemoryStream() {
            if (stream != nullptr) std::fclose(stream);
            std::free(buffer);
        }
    } memory;
    memory.stream = ::open_memstream(&memory.buffer, &memory.size);
    if (memory.stream == nullptr) return false;
    const bool written = write(memory.stream);
    const bool closed = std::fclose(std::exchange(memory.stream, nullptr)) == 0;
    if (!written || !closed || memory.buffer == nullptr) return false;
    contents.assign(memory.buffer, memory.size);
    return true;
}

bool write_at_start(int fd, const std::string& bytes) {
    return write_all_at(fd, bytes.data(), bytes.size(), 0);
}

// Makes the disk hold room for a file of `size` bytes at `fd`, whose first
// `old_size` bytes are written, so that writing them cannot run out of
// space. True also where the file system cannot reserve at all: the old
// bytes are then written back if the write fails.
bool reserve(int fd, std::size_t old_size, std::size_t size) {
    if (size <= old_size) return true;
#if defined(F_PREALLOCATE)
    fstore_t store {};
    store.fst_flags = F_ALLOCATEALL;
    store.fst_posmode = F_PEOFPOSMODE;
    store.fst_offset = 0;
    store.fst_length = static_cast<off_t>(size - old_size);
    if (::fcntl(fd, F_PREALLOCATE, &store) == 0) return true;
    return errno == ENOTSUP || errno == EINVAL;
#else
    const int error = ::posix_fallocate(fd, 0, static_cast<off_t>(size));
    return error == 0 || error == EOPNOTSUPP || error == EINVAL;
#endif
}

// Rewrites the regular file at `target` through its existing descriptor, so
// that it ends up holding either its old bytes or all of the new ones: the
// new contents are printed first, room for them is reserved before
// anything is overwritten, and a write that fails all the same puts the old
// bytes back. A file that cannot also be read is not rewritten. Opened
// without blocking, so a FIFO in its place is refused instead of waited on.
bool write_in_place(const std::string& target, const std::function<bool(std::FILE*)>& write) {
    std::string contents;
    if (!print_to_memory(write, contents)) return false;
    struct stat info {};
    const Descriptor file = open_regular_file(target, O_RDWR, info);
    const int fd = file.get();
    if (fd < 0 || static_cast<std::uint64_t>(info.st_size) > kMaxInPlaceBytes) return false;
    std::string old_contents;
    const std::size_t old_size = static_cast<std::size_t>(info.st_size);
    if (!read_open_file(fd, old_size, old_size, old_contents) || old_contents.size() != old_size)
        return false;
    if (!reserve(fd, old_size, contents.size())) {
        // A reservation that failed part-way may have grown the file.
        (void)::ftruncate(fd, static_cast<off_t>(old_size));
        return false;
    }
    if (write_at_start(fd, contents) && ::ftruncate(fd, static_cast<off_t>(contents.size())) == 0 &&
        sync_to_disk(fd)) {
        return true;
    }
    // Best effort. On a file system that overwrites in place, the old bytes
    // fit where they were; on a copy-on-write one (btrfs, APFS, ZFS) every
    // overwrite takes fresh blocks, the reservation above does not hold them,
    // and with the disk full putting the old bytes back can fail as well.
    if (write_at_start(fd, old_contents)) (void)::ftruncate(fd, static_cast<off_t>(old_size));
    (void)sync_to_disk(fd);
    return false;
}

}  // namespace

bool write_file_atomically(const std::string& path,
                           const std::function<bool(std::FILE*)>& write,
                           const FileVersion* read,
                           const std::function<bool(const std::string&)>& before_replacing) {
    std::string target;
    if (!final_target(path, target)) return false;
    const auto unchanged = [&] { return !read || FileVersion::at(target) == *read; };
    if (!unchanged()) return false;

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
        return folder_refused && exists && !before_replacing && unchanged() &&
               write_in_place(target, write);
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
    // The file is compared before it is given another name, and again
    // right before the rename: the window between the read and the rename
    // shrinks to nothing the plug-in waits on.
    if (!finish(std::move(file)) || !written || !unchanged() ||
        (exists && before_replacing && !before_replacing(target)) || !unchanged() ||
        ::rename(temporary.path().c_str(), target.c_str()) != 0) {
        return false;
    }
    temporary.keep();
    // The rename itself reaches the disk only with the folder: without this
    // a power cut can bring the old name back. Best effort, as the new
    // contents already stand where the old ones were: a folder that cannot
    // be read or synced does not turn the save into a failure, since false
    // promises the old file.
    (void)sync_folder(folder_of(target));
    return true;
}

}  // namespace orvella
