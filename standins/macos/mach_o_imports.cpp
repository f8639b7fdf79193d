// Resolving an image's imports by the library each names.
#include "standins/macos/mach_o_imports.h"

#include <dlfcn.h>

#include "macos_abi/macho_abi.h"
#include "standins/macos/libsystem.h"

namespace macos {
namespace {

// The C name of a symbol: the image's name without its leading underscore.
std::string c_name(std::string_view symbol) {
    if (!symbol.empty() && symbol.front() == '_') symbol.remove_prefix(1);
    return std::string(symbol);
}

const void* process_symbol(std::string_view symbol) { return ::dlsym(RTLD_DEFAULT, c_name(symbol).c_str()); }

}  // namespace

const void* resolve_import(const std::vector<MachODylib>& dylibs, const BindSite& site, const OwnSymbol& own,
                           std::string* why) {
    why->clear();
    const void* address = nullptr;
    const std::string symbol(site.symbol);
    if (site.ordinal > 0) {
        if (static_cast<std::uint64_t>(site.ordinal) > dylibs.size()) {
            *why = symbol + " is bound to library " + std::to_string(site.ordinal) + " of " +
                   std::to_string(dylibs.size());
            return nullptr;
        }
        const MachODylib& dylib = dylibs[site.ordinal - 1];
        if (dylib.kind == DylibKind::system) {
            address = libsystem_symbol(site.symbol);
            if (!address && !site.weak_import) *why = "no shim for " + symbol;
        } else {
            address = process_symbol(site.symbol);
            if (!address && !site.weak_import)
                *why = "no host symbol " + c_name(site.symbol) + " (" + dylib.name + ")";
        }
        return address;
    }
    switch (site.ordinal) {
        case MACOS_BIND_SPECIAL_DYLIB_SELF:
            address = own(site.symbol);
            break;
        case MACOS_BIND_SPECIAL_DYLIB_MAIN_EXECUTABLE:
            address = process_symbol(site.symbol);
            break;
        case MACOS_BIND_SPECIAL_DYLIB_FLAT_LOOKUP:
        case MACOS_BIND_SPECIAL_DYLIB_WEAK_LOOKUP:
            // Every library in load order: the image, libSystem, then the process.
            address = own(site.symbol);
            if (!address) address = libsystem_symbol(site.symbol);
            if (!address) address = process_symbol(site.symbol);
            break;
        default:
            *why = symbol + " is bound to special library " + std::to_string(site.ordinal);
            return nullptr;
    }
    if (!address && !site.weak_import) *why = "nothing provides " + symbol;
    return address;
}

}  // namespace macos
