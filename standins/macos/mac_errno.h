// errno as the image sees it: macOS numbers, in a variable of each thread
// that the image reaches through ___error. A shim of a call that reads or
// sets errno carries the value across in both directions, so an image that
// clears errno before a call and reads it after sees what glibc set.
#ifndef ORVELLA_STANDINS_MACOS_MAC_ERRNO_H
#define ORVELLA_STANDINS_MACOS_MAC_ERRNO_H

#include <cerrno>

namespace macos {

int to_mac_errno(int linux_errno);   // EIO's number for one macOS has no name for
int to_linux_errno(int mac_errno);   // EINVAL for one glibc has no name for

// ___error: this thread's errno as the image sees it.
int* mac_errno_location();

// Around a call: the image's errno in, glibc's out.
inline void errno_to_linux() { errno = to_linux_errno(*mac_errno_location()); }
inline void errno_to_mac() { *mac_errno_location() = to_mac_errno(errno); }

// The shim of a call whose only difference is the errno numbers it sets:
// ErrnoSynced<&::close>::call.
template <auto Function>
struct ErrnoSynced;
template <typename Result, typename... Args, bool NoThrow, Result (*Function)(Args...) noexcept(NoThrow)>
struct ErrnoSynced<Function> {
    static Result call(Args... args) {
        errno_to_linux();
        Result result = Function(args...);
        errno_to_mac();
        return result;
    }
};

}  // namespace macos

#endif
