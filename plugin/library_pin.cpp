#include "plugin/library_pin.h"

#include <dlfcn.h>

namespace orvella {

namespace {

// Its address lies inside this library, whatever the file is called.
const char kInsideThisLibrary = 0;

void* open_own_library() {
    Dl_info info {};
    if (::dladdr(&kInsideThisLibrary, &info) == 0 || info.dli_fname == nullptr ||
        *info.dli_fname == '\0')
        return nullptr;
    // The library is loaded, so RTLD_NOLOAD only adds a reference to it.
    // On Linux, RTLD_NODELETE keeps it mapped even once every reference is
    // released. On macOS, dyld does not look at RTLD_NODELETE here: the
    // reference this never-closed handle holds is alone what keeps it mapped.
    return ::dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
}

}  // namespace

bool pin_plugin_library() {
    // The handle is deliberately never closed: that is the pin.
    static void* const handle = open_own_library();
    return handle != nullptr;
}

}  // namespace orvella
