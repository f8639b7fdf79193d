// Looking a symbol up in an image's export trie.
#ifndef ORVELLA_STANDINS_MACOS_MACH_O_EXPORTS_H
#define ORVELLA_STANDINS_MACOS_MACH_O_EXPORTS_H

#include <cstdint>
#include <string>
#include <string_view>

namespace macos {

struct ExportedSymbol {
    std::uint64_t offset = 0;  // from the image's mach header, or the value itself when absolute
    bool absolute = false;
};

// Finds SYMBOL (as the image names it: "_SvApiPluginInit") in the TRIE's
// bytes. False with the reason when it is not there, the trie is malformed,
// or the export is of a kind this loader does not resolve (a re-export, a
// resolver, a thread-local variable).
bool find_export(const std::uint8_t* trie, std::size_t size, std::string_view symbol, ExportedSymbol* out,
                 std::string* error);

}  // namespace macos

#endif
