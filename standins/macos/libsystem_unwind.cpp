// libSystem shims: unwind.
#include "standins/macos/libsystem.h"

namespace macos {
namespace {

const Shim kShims[] = {
    {"", nullptr},  // (empty while the family is being written)
};

}  // namespace

ShimTable unwind_shims() { return {kShims, kShims + sizeof kShims / sizeof kShims[0]}; }

}  // namespace macos
