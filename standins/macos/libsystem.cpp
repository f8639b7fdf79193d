// Finding an import's shim among the families' tables.
#include "standins/macos/libsystem.h"

namespace macos {

const void* libsystem_symbol(std::string_view name) {
    for (ShimTable (*family)() : {file_shims, process_shims, thread_shims, stdio_locale_shims, unwind_shims}) {
        const ShimTable table = family();
        for (const Shim* s = table.begin; s != table.end; ++s)
            if (s->name == name) return s->address;
    }
    return nullptr;
}

}  // namespace macos
