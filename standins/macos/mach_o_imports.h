// What stands behind each import of an image: libSystem's imports are bound
// to the stand-in's shims, a host library's to the process's own symbol of
// the same C name (the name without its leading underscore), so whatever
// host library the process loaded stands behind the image, as on a Mac.
#ifndef ORVELLA_STANDINS_MACOS_MACH_O_IMPORTS_H
#define ORVELLA_STANDINS_MACOS_MACH_O_IMPORTS_H

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "standins/macos/mach_o_file.h"
#include "standins/macos/mach_o_fixups.h"

namespace macos {

// The image's own export of a symbol, for binds to itself; null when it has none.
using OwnSymbol = std::function<const void*(std::string_view symbol)>;

// The address SITE binds to, or null when nothing provides its symbol
// (*WHY then says what was looked for: "no shim for _open"). A weak import
// nothing provides binds to null and is not a failure: *WHY stays empty.
const void* resolve_import(const std::vector<MachODylib>& dylibs, const BindSite& site, const OwnSymbol& own,
                           std::string* why);

}  // namespace macos

#endif
