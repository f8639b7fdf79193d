// libSystem shims: files, paths, stat, links, descriptors.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "macos_abi/files_abi.h"
#include "standins/macos/libsystem.h"
#include "standins/macos/mac_errno.h"

namespace macos {
namespace {

// Mode bits, access modes, FD_CLOEXEC and the access(2) bits have the same
// values on both systems: they pass unchanged.
static_assert(MACOS_S_IFMT == S_IFMT && MACOS_S_IFIFO == S_IFIFO && MACOS_S_IFCHR == S_IFCHR &&
              MACOS_S_IFDIR == S_IFDIR && MACOS_S_IFBLK == S_IFBLK && MACOS_S_IFREG == S_IFREG &&
              MACOS_S_IFLNK == S_IFLNK && MACOS_S_IFSOCK == S_IFSOCK);
static_assert(MACOS_S_ISUID == S_ISUID && MACOS_S_ISGID == S_ISGID && MACOS_S_ISVTX == S_ISVTX &&
              MACOS_S_IRWXU == S_IRWXU && MACOS_S_IRWXG == S_IRWXG && MACOS_S_IRWXO == S_IRWXO);
static_assert(MACOS_O_RDONLY == O_RDONLY && MACOS_O_WRONLY == O_WRONLY && MACOS_O_RDWR == O_RDWR &&
              MACOS_O_ACCMODE == O_ACCMODE);
static_assert(MACOS_FD_CLOEXEC == FD_CLOEXEC);
static_assert(MACOS_F_OK == F_OK && MACOS_R_OK == R_OK && MACOS_W_OK == W_OK && MACOS_X_OK == X_OK);
static_assert(MACOS_SIZEOF_OFF_T == sizeof(off_t) && MACOS_SIZEOF_SSIZE_T == sizeof(ssize_t) &&
              MACOS_SIZEOF_UID_T == sizeof(uid_t) && MACOS_SIZEOF_INO_T == sizeof(ino_t));

// A macOS layout, held member by member against the headers' offsets and sizes.
#define HOLD(Type, label, member)                                                 \
    static_assert(offsetof(Type, member) == MACOS_OFFSETOF_##label##_##member && \
                  sizeof(Type::member) == MACOS_SIZEOF_##label##_##member)

struct MacTimespec {
    std::int64_t tv_sec;
    std::int64_t tv_nsec;
};
HOLD(MacTimespec, TIMESPEC, tv_sec);
HOLD(MacTimespec, TIMESPEC, tv_nsec);
static_assert(sizeof(MacTimespec) == MACOS_SIZEOF_TIMESPEC);

// struct stat of the $INODE64 calls.
struct MacStat {
    std::int32_t st_dev;
    std::uint16_t st_mode;
    std::uint16_t st_nlink;
    std::uint64_t st_ino;
    std::uint32_t st_uid;
    std::uint32_t st_gid;
    std::int32_t st_rdev;
    MacTimespec st_atimespec;
    MacTimespec st_mtimespec;
    MacTimespec st_ctimespec;
    MacTimespec st_birthtimespec;
    std::int64_t st_size;
    std::int64_t st_blocks;
    std::int32_t st_blksize;
    std::uint32_t st_flags;
    std::uint32_t st_gen;
    std::int32_t st_lspare;
    std::int64_t st_qspare[2];
};
HOLD(MacStat, STAT, st_dev);
HOLD(MacStat, STAT, st_mode);
HOLD(MacStat, STAT, st_nlink);
HOLD(MacStat, STAT, st_ino);
HOLD(MacStat, STAT, st_uid);
HOLD(MacStat, STAT, st_gid);
HOLD(MacStat, STAT, st_rdev);
HOLD(MacStat, STAT, st_atimespec);
HOLD(MacStat, STAT, st_mtimespec);
HOLD(MacStat, STAT, st_ctimespec);
HOLD(MacStat, STAT, st_birthtimespec);
HOLD(MacStat, STAT, st_size);
HOLD(MacStat, STAT, st_blocks);
HOLD(MacStat, STAT, st_blksize);
HOLD(MacStat, STAT, st_flags);
HOLD(MacStat, STAT, st_gen);
static_assert(sizeof(MacStat) == MACOS_SIZEOF_STAT);

struct MacFstore {
    std::uint32_t fst_flags;
    std::int32_t fst_posmode;
    std::int64_t fst_offset;
    std::int64_t fst_length;
    std::int64_t fst_bytesalloc;
};
HOLD(MacFstore, FSTORE, fst_flags);
HOLD(MacFstore, FSTORE, fst_posmode);
HOLD(MacFstore, FSTORE, fst_offset);
HOLD(MacFstore, FSTORE, fst_length);
HOLD(MacFstore, FSTORE, fst_bytesalloc);
static_assert(sizeof(MacFstore) == MACOS_SIZEOF_FSTORE);
#undef HOLD

int fail(int linux_errno) {
    *mac_errno_location() = to_mac_errno(linux_errno);
    return -1;
}

// The status and creation flags of open(2) and F_GETFL/F_SETFL; the access
// mode (the same numbers) passes as it is. O_SYNC before O_DSYNC: glibc's
// O_SYNC holds O_DSYNC's bit.
struct FlagPair {
    int mac;
    int linux_flag;
};
constexpr FlagPair kOpenFlags[] = {
    {MACOS_O_SYNC, O_SYNC},       {MACOS_O_DSYNC, O_DSYNC},         {MACOS_O_NONBLOCK, O_NONBLOCK},
    {MACOS_O_APPEND, O_APPEND},   {MACOS_O_ASYNC, O_ASYNC},         {MACOS_O_NOFOLLOW, O_NOFOLLOW},
    {MACOS_O_CREAT, O_CREAT},     {MACOS_O_TRUNC, O_TRUNC},         {MACOS_O_EXCL, O_EXCL},
    {MACOS_O_NOCTTY, O_NOCTTY},   {MACOS_O_DIRECTORY, O_DIRECTORY}, {MACOS_O_CLOEXEC, O_CLOEXEC},
};

// False for a bit glibc has no flag for (O_SYMLINK, O_EVTONLY, O_NOFOLLOW_ANY,
// ...) and for the access mode macOS rejects (both read and write bits).
bool to_linux_open_flags(int mac, int* linux_flags) {
    if ((mac & MACOS_O_ACCMODE) == MACOS_O_ACCMODE) return false;
    int result = mac & O_ACCMODE;
    int rest = mac & ~static_cast<int>(MACOS_O_ACCMODE);
    for (const FlagPair& f : kOpenFlags) {
        if ((rest & f.mac) == 0) continue;
        result |= f.linux_flag;
        rest &= ~f.mac;
    }
    *linux_flags = result;
    return rest == 0;
}

// The bits macOS has a name for; the others glibc reports (O_LARGEFILE) do
// not exist there.
int to_mac_open_flags(int linux_flags) {
    int result = linux_flags & O_ACCMODE;
    int rest = linux_flags & ~O_ACCMODE;
    for (const FlagPair& f : kOpenFlags) {
        if ((rest & f.linux_flag) != f.linux_flag) continue;
        result |= f.mac;
        rest &= ~f.linux_flag;
    }
    return result;
}

// macOS opens with a shared or exclusive flock(2) lock in the one call,
// waiting for it unless O_NONBLOCK.
int mac_open(const char* path, int flags, ...) {
    unsigned mode = 0;
    if ((flags & MACOS_O_CREAT) != 0) {
        std::va_list arguments;
        va_start(arguments, flags);
        mode = static_cast<unsigned>(va_arg(arguments, int)) & 0xffffu;  // a promoted 16-bit mode_t
        va_end(arguments);
    }
    const int lock = flags & (MACOS_O_SHLOCK | MACOS_O_EXLOCK);
    int linux_flags = 0;
    if (lock == (MACOS_O_SHLOCK | MACOS_O_EXLOCK) || !to_linux_open_flags(flags & ~lock, &linux_flags))
        return fail(EINVAL);
    errno_to_linux();
    int fd = ::open(path, linux_flags, static_cast<mode_t>(mode));
    if (fd >= 0 && lock != 0) {
        const int operation = (lock == MACOS_O_SHLOCK ? LOCK_SH : LOCK_EX) |
                              ((flags & MACOS_O_NONBLOCK) != 0 ? LOCK_NB : 0);
        if (::flock(fd, operation) != 0) {
            const int error = errno;
            ::close(fd);
            errno = error;
            fd = -1;
        }
    }
    errno_to_mac();
    return fd;
}

// F_PREALLOCATE: room for fst_length more bytes past the end of the file,
// without changing its size. Contiguous space cannot be asked of Linux
// (ENOTSUP, as a file system that cannot reserve answers); a position mode
// other than from the end of the file has no equivalent (EINVAL).
int preallocate(int fd, MacFstore* store) {
    store->fst_bytesalloc = 0;
    if ((store->fst_flags & ~static_cast<std::uint32_t>(MACOS_F_ALLOCATECONTIG | MACOS_F_ALLOCATEALL)) != 0 ||
        store->fst_posmode != MACOS_F_PEOFPOSMODE || store->fst_offset != 0 || store->fst_length < 0)
        return fail(EINVAL);
    if ((store->fst_flags & MACOS_F_ALLOCATECONTIG) != 0) return fail(ENOTSUP);
    struct stat info {};
    if (::fstat(fd, &info) != 0) return fail(errno);
    if (store->fst_length > 0 && ::fallocate(fd, FALLOC_FL_KEEP_SIZE, info.st_size, store->fst_length) != 0)
        return fail(errno);
    store->fst_bytesalloc = store->fst_length;
    return 0;
}

// Each command takes the argument it is defined with: an int or a pointer.
// Record locks (F_GETLK, F_SETLK, F_SETLKW, their struct flock and lock
// types differ) and the Mac-only commands other than F_FULLFSYNC and
// F_PREALLOCATE (F_NOCACHE, F_GETPATH, F_RDADVISE, ...) fail with EINVAL.
int mac_fcntl(int fd, int command, ...) {
    std::va_list arguments;
    va_start(arguments, command);
    int result = -1;
    errno_to_linux();
    switch (command) {
    case MACOS_F_DUPFD:
        result = ::fcntl(fd, F_DUPFD, va_arg(arguments, int));
        break;
    case MACOS_F_DUPFD_CLOEXEC:
        result = ::fcntl(fd, F_DUPFD_CLOEXEC, va_arg(arguments, int));
        break;
    case MACOS_F_GETFD:
        result = ::fcntl(fd, F_GETFD);
        break;
    case MACOS_F_SETFD:
        result = ::fcntl(fd, F_SETFD, va_arg(arguments, int));
        break;
    case MACOS_F_GETFL:
        result = ::fcntl(fd, F_GETFL);
        if (result >= 0) result = to_mac_open_flags(result);
        break;
    case MACOS_F_SETFL: {
        int linux_flags = 0;
        if (to_linux_open_flags(va_arg(arguments, int), &linux_flags))
            result = ::fcntl(fd, F_SETFL, linux_flags);
        else
            errno = EINVAL;
        break;
    }
    case MACOS_F_FULLFSYNC:
        // Linux's fsync already asks the drive to flush its cache.
        result = ::fsync(fd);
        break;
    case MACOS_F_PREALLOCATE:
        result = preallocate(fd, va_arg(arguments, MacFstore*));
        va_end(arguments);
        return result;  // errno set in the image's numbers
    default:
        errno = EINVAL;
        break;
    }
    va_end(arguments);
    errno_to_mac();
    return result;
}

MacTimespec mac_time(const struct statx_timestamp& t) { return {t.tv_sec, static_cast<std::int64_t>(t.tv_nsec)}; }

bool earlier(const MacTimespec& a, const MacTimespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// macOS packs a device number as major * 2^24 + minor.
std::int32_t mac_device(std::uint32_t major_number, std::uint32_t minor_number) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(
        major_number * MACOS_MAKEDEV_MAJOR_UNIT + (minor_number & MACOS_MAKEDEV_MINOR_MASK) * MACOS_MAKEDEV_MINOR_UNIT));
}

// statx, for the birth time and the flags macOS reports in struct stat.
// Linux's immutable and append-only attributes are set only with a
// privilege, as macOS's system flags are; no-dump is the owner's.
int mac_stat_at(int dirfd, const char* path, int flags, void* out) {
    struct statx x {};
    errno_to_linux();
    if (::statx(dirfd, path, flags, STATX_BASIC_STATS | STATX_BTIME, &x) != 0) {
        errno_to_mac();
        return -1;
    }
    MacStat s {};
    s.st_dev = mac_device(x.stx_dev_major, x.stx_dev_minor);
    s.st_mode = static_cast<std::uint16_t>(x.stx_mode);
    s.st_nlink = static_cast<std::uint16_t>(x.stx_nlink > UINT16_MAX ? UINT16_MAX : x.stx_nlink);
    s.st_ino = x.stx_ino;
    s.st_uid = x.stx_uid;
    s.st_gid = x.stx_gid;
    s.st_rdev = mac_device(x.stx_rdev_major, x.stx_rdev_minor);
    s.st_atimespec = mac_time(x.stx_atime);
    s.st_mtimespec = mac_time(x.stx_mtime);
    s.st_ctimespec = mac_time(x.stx_ctime);
    // Where the file system keeps no birth time, the oldest time it has.
    if ((x.stx_mask & STATX_BTIME) != 0)
        s.st_birthtimespec = mac_time(x.stx_btime);
    else
        s.st_birthtimespec = earlier(s.st_mtimespec, s.st_ctimespec) ? s.st_mtimespec : s.st_ctimespec;
    s.st_size = static_cast<std::int64_t>(x.stx_size);
    s.st_blocks = static_cast<std::int64_t>(x.stx_blocks);
    s.st_blksize = static_cast<std::int32_t>(x.stx_blksize);
    if ((x.stx_attributes & STATX_ATTR_IMMUTABLE) != 0) s.st_flags |= MACOS_SF_IMMUTABLE;
    if ((x.stx_attributes & STATX_ATTR_APPEND) != 0) s.st_flags |= MACOS_SF_APPEND;
    if ((x.stx_attributes & STATX_ATTR_NODUMP) != 0) s.st_flags |= MACOS_UF_NODUMP;
    std::memcpy(out, &s, sizeof s);
    errno_to_mac();
    return 0;
}

int mac_stat(const char* path, void* out) { return mac_stat_at(AT_FDCWD, path, 0, out); }
int mac_lstat(const char* path, void* out) { return mac_stat_at(AT_FDCWD, path, AT_SYMLINK_NOFOLLOW, out); }
int mac_fstat(int fd, void* out) { return mac_stat_at(fd, "", AT_EMPTY_PATH, out); }

// A directory descriptor: macOS's AT_FDCWD is another number, and Linux's
// is no descriptor there.
bool to_linux_dirfd(int mac, int* linux_fd) {
    if (mac == AT_FDCWD) return false;
    *linux_fd = mac == MACOS_AT_FDCWD ? AT_FDCWD : mac;
    return true;
}

int mac_linkat(int from_dir, const char* from, int to_dir, const char* to, int flags) {
    int linux_from = -1;
    int linux_to = -1;
    if (!to_linux_dirfd(from_dir, &linux_from) || !to_linux_dirfd(to_dir, &linux_to)) return fail(EBADF);
    if ((flags & ~static_cast<int>(MACOS_AT_SYMLINK_FOLLOW)) != 0) return fail(EINVAL);
    errno_to_linux();
    const int result =
        ::linkat(linux_from, from, linux_to, to, (flags & MACOS_AT_SYMLINK_FOLLOW) != 0 ? AT_SYMLINK_FOLLOW : 0);
    errno_to_mac();
    return result;
}

int mac_access(const char* path, int mode) {
    if ((mode & ~(R_OK | W_OK | X_OK)) != 0) return fail(EINVAL);
    return ErrnoSynced<&::access>::call(path, mode);
}

// mode_t is 16 bits on macOS.
int mac_fchmod(int fd, std::uint16_t mode) { return ErrnoSynced<&::fchmod>::call(fd, mode); }

#define SHIM(name, function) {name, reinterpret_cast<const void*>(function)}

const Shim kShims[] = {
    SHIM("_access", &mac_access),  // only the four access bits (macOS's extended ones are accessx's)
    SHIM("_close", &ErrnoSynced<&::close>::call),
    SHIM("_fchmod", &mac_fchmod),
    SHIM("_fcntl", &mac_fcntl),  // commands, flags and fstore_t translated
    SHIM("_fstat$INODE64", &mac_fstat),  // struct stat translated
    SHIM("_fsync", &ErrnoSynced<&::fsync>::call),
    SHIM("_ftruncate", &ErrnoSynced<&::ftruncate>::call),
    SHIM("_linkat", &mac_linkat),  // AT_FDCWD and AT_SYMLINK_FOLLOW translated
    SHIM("_lstat$INODE64", &mac_lstat),
    SHIM("_open", &mac_open),  // flags translated, O_SHLOCK/O_EXLOCK as flock
    SHIM("_pwrite", &ErrnoSynced<&::pwrite>::call),
    SHIM("_read", &ErrnoSynced<&::read>::call),
    SHIM("_readlink", &ErrnoSynced<&::readlink>::call),
    SHIM("_remove", &ErrnoSynced<&::remove>::call),
    SHIM("_rename", &ErrnoSynced<&::rename>::call),
    SHIM("_stat$INODE64", &mac_stat),
};

#undef SHIM

}  // namespace

ShimTable file_shims() { return {kShims, kShims + sizeof kShims / sizeof kShims[0]}; }

}  // namespace macos
