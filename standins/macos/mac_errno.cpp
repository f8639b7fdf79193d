// errno numbers of the two systems, paired by name from the macOS headers.
#include "standins/macos/mac_errno.h"

#include "errno_names.h"
#include "macos_abi/errno_abi.h"

namespace macos {
namespace {

struct ErrnoPair {
    int linux_value;
    int mac_value;
};

#define PAIR(name) {name, static_cast<int>(MACOS_##name)},
constexpr ErrnoPair kPairs[] = {ERRNO_NAMES(PAIR)};
#undef PAIR

thread_local int t_mac_errno = 0;

}  // namespace

int to_mac_errno(int linux_errno) {
    if (linux_errno == 0) return 0;
    for (const ErrnoPair& p : kPairs)
        if (p.linux_value == linux_errno) return p.mac_value;
    return static_cast<int>(MACOS_EIO);
}

int to_linux_errno(int mac_errno) {
    if (mac_errno == 0) return 0;
    for (const ErrnoPair& p : kPairs)
        if (p.mac_value == mac_errno) return p.linux_value;
    return EINVAL;
}

int* mac_errno_location() { return &t_mac_errno; }

}  // namespace macos
