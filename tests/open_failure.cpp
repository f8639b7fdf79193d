// The C library's inline wrappers would clash with the definitions below.
#undef _FORTIFY_SOURCE

#include "open_failure.h"

#include <dlfcn.h>
#include <fcntl.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>

namespace {

std::atomic<int> injected_error{0};

using OpenFunction = int (*)(const char*, int, ...);

// The open this program would call without us: the C library's, or a
// sanitizer's that wraps it.
OpenFunction next_open(const char* name) {
    return reinterpret_cast<OpenFunction>(::dlsym(RTLD_NEXT, name));
}

int open_or_fail(OpenFunction real, const char* path, int flags, mode_t mode) {
    const int error = injected_error.load();
    if (error != 0 && (flags & O_CREAT) && (flags & O_EXCL)) {
        errno = error;
        return -1;
    }
    return real(path, flags, mode);
}

// The mode is passed only where the call may create a file.
bool has_mode(int flags) {
#ifdef O_TMPFILE
    if ((flags & O_TMPFILE) == O_TMPFILE) return true;
#endif
    return (flags & O_CREAT) != 0;
}

}  // namespace

// Defined in the program, this comes before the C library's for every
// caller in it.
extern "C" int open(const char* path, int flags, ...) {
    mode_t mode = 0;
    if (has_mode(flags)) {
        std::va_list arguments;
        va_start(arguments, flags);
        mode = static_cast<mode_t>(va_arg(arguments, unsigned));
        va_end(arguments);
    }
    static const OpenFunction real = next_open("open");
    return open_or_fail(real, path, flags, mode);
}

// On 64-bit systems the same call under its other name.
extern "C" int open64(const char* path, int flags, ...) __attribute__((alias("open")));

namespace orvella_test {

void fail_exclusive_creates(int error) { injected_error.store(error); }

}  // namespace orvella_test
