#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include "probe.h"

void probe_files(void) {
    /* open(2) flags */
    ABI_CONST(O_RDONLY); ABI_CONST(O_WRONLY); ABI_CONST(O_RDWR); ABI_CONST(O_ACCMODE);
    ABI_CONST(O_NONBLOCK); ABI_CONST(O_APPEND); ABI_CONST(O_SHLOCK); ABI_CONST(O_EXLOCK);
    ABI_CONST(O_ASYNC); ABI_CONST(O_SYNC); ABI_CONST(O_DSYNC); ABI_CONST(O_NOFOLLOW);
    ABI_CONST(O_CREAT); ABI_CONST(O_TRUNC); ABI_CONST(O_EXCL); ABI_CONST(O_NOCTTY);
    ABI_CONST(O_DIRECTORY); ABI_CONST(O_CLOEXEC);

    /* fcntl(2) commands and their arguments */
    ABI_CONST(F_DUPFD); ABI_CONST(F_DUPFD_CLOEXEC); ABI_CONST(F_GETFD); ABI_CONST(F_SETFD);
    ABI_CONST(F_GETFL); ABI_CONST(F_SETFL);
    ABI_CONST(F_FULLFSYNC); ABI_CONST(F_PREALLOCATE); ABI_CONST(FD_CLOEXEC);
    ABI_CONST(F_ALLOCATECONTIG); ABI_CONST(F_ALLOCATEALL);
    ABI_CONST(F_PEOFPOSMODE);
    ABI_SIZE(FSTORE, fstore_t);
    ABI_MEMBER(FSTORE, fstore_t, fst_flags);
    ABI_MEMBER(FSTORE, fstore_t, fst_posmode);
    ABI_MEMBER(FSTORE, fstore_t, fst_offset);
    ABI_MEMBER(FSTORE, fstore_t, fst_length);
    ABI_MEMBER(FSTORE, fstore_t, fst_bytesalloc);

    /* the *at calls, access(2) */
    ABI_CONST(AT_FDCWD); ABI_CONST(AT_SYMLINK_FOLLOW);
    ABI_CONST(F_OK); ABI_CONST(R_OK); ABI_CONST(W_OK); ABI_CONST(X_OK);

    /* struct stat as the $INODE64 calls fill it */
    ABI_SIZE(STAT, struct stat);
    ABI_MEMBER(STAT, struct stat, st_dev);
    ABI_MEMBER(STAT, struct stat, st_mode);
    ABI_MEMBER(STAT, struct stat, st_nlink);
    ABI_MEMBER(STAT, struct stat, st_ino);
    ABI_MEMBER(STAT, struct stat, st_uid);
    ABI_MEMBER(STAT, struct stat, st_gid);
    ABI_MEMBER(STAT, struct stat, st_rdev);
    ABI_MEMBER(STAT, struct stat, st_atimespec);
    ABI_MEMBER(STAT, struct stat, st_mtimespec);
    ABI_MEMBER(STAT, struct stat, st_ctimespec);
    ABI_MEMBER(STAT, struct stat, st_birthtimespec);
    ABI_MEMBER(STAT, struct stat, st_size);
    ABI_MEMBER(STAT, struct stat, st_blocks);
    ABI_MEMBER(STAT, struct stat, st_blksize);
    ABI_MEMBER(STAT, struct stat, st_flags);
    ABI_MEMBER(STAT, struct stat, st_gen);
    ABI_SIZE(TIMESPEC, struct timespec);
    ABI_MEMBER(TIMESPEC, struct timespec, tv_sec);
    ABI_MEMBER(TIMESPEC, struct timespec, tv_nsec);
    ABI_VALUE("MAKEDEV_MAJOR_UNIT", makedev(1, 0));
    ABI_VALUE("MAKEDEV_MINOR_UNIT", makedev(0, 1));
    ABI_VALUE("MAKEDEV_MINOR_MASK", minor((dev_t)-1));
    ABI_CONST(UF_NODUMP); ABI_CONST(SF_IMMUTABLE); ABI_CONST(SF_APPEND);

    /* mode bits, as stat reports them and open, fchmod take them */
    ABI_CONST(S_IFMT); ABI_CONST(S_IFIFO); ABI_CONST(S_IFCHR); ABI_CONST(S_IFDIR);
    ABI_CONST(S_IFBLK); ABI_CONST(S_IFREG); ABI_CONST(S_IFLNK); ABI_CONST(S_IFSOCK);
    ABI_CONST(S_ISUID); ABI_CONST(S_ISGID); ABI_CONST(S_ISVTX);
    ABI_CONST(S_IRWXU); ABI_CONST(S_IRWXG); ABI_CONST(S_IRWXO);

    /* sizes of the types the calls pass by value */
    ABI_SIZE(OFF_T, off_t); ABI_SIZE(SSIZE_T, ssize_t); ABI_SIZE(MODE_T, mode_t);
    ABI_SIZE(UID_T, uid_t); ABI_SIZE(INO_T, ino_t);
}
