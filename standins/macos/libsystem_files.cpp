// libSystem shims: files.
#include "standins/macos/libsystem.h"

namespace macos {
namespace {

const Shim kShims[] = {
    {"", nullptr},  // (empty while the family is being written)
};

}  // namespace

ShimTable file_shims() { return {kShims, kShims + sizeof kShims / sizeof kShims[0]}; }

}  // namespace macos
