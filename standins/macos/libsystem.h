// The stand-in libSystem: the address to bind each libSystem import of an
// image to. The shims live in tables by family, one line per import where
// macOS's ABI is glibc's, with the reason where a shim translates.
#ifndef ORVELLA_STANDINS_MACOS_LIBSYSTEM_H
#define ORVELLA_STANDINS_MACOS_LIBSYSTEM_H

#include <string_view>

namespace macos {

struct Shim {
    std::string_view name;  // as the image imports it: "_open", "___error", "_fstat$INODE64"
    const void* address;    // a function, or for a data import the variable itself
};

struct ShimTable {
    const Shim* begin;
    const Shim* end;
};

// One table per family of imports.
ShimTable file_shims();       // files, paths, stat, links, descriptors
ShimTable process_shims();    // processes, spawn, users, environment, time, dl*
ShimTable thread_shims();     // pthread objects, memory, the C++ runtime's needs, strings
ShimTable stdio_locale_shims();  // stdio, the _l family, ctype, message catalogs
ShimTable unwind_shims();     // the _Unwind_* entries of the unwinder

// The shim bound to the libSystem import NAME, or null when there is none
// (the load then fails, naming it).
const void* libsystem_symbol(std::string_view name);

}  // namespace macos

#endif
