// Walking the export trie: each node holds the export that ends at it (if
// any) and edges labelled with the next part of the name.
#include "standins/macos/mach_o_exports.h"

#include "macos_abi/macho_abi.h"
#include "standins/macos/mach_o_reader.h"

namespace macos {

bool find_export(const std::uint8_t* trie, std::size_t size, std::string_view symbol, ExportedSymbol* out,
                 std::string* error) {
    const std::string name(symbol);
    ByteReader in(trie, size);
    std::string_view rest = symbol;
    // Every edge taken consumes at least one character, which bounds the walk.
    for (std::size_t depth = 0; depth <= symbol.size(); ++depth) {
        std::uint64_t terminal_size = 0;
        if (!in.uleb(&terminal_size)) break;
        const std::size_t children_at = in.offset() + terminal_size;
        if (rest.empty()) {
            if (terminal_size == 0) return (*error = name + ": symbol not found"), false;
            std::uint64_t flags = 0, value = 0;
            if (!in.uleb(&flags)) break;
            if (flags & MACOS_EXPORT_SYMBOL_FLAGS_REEXPORT)
                return (*error = name + ": a re-export, which this loader does not follow"), false;
            if (flags & MACOS_EXPORT_SYMBOL_FLAGS_STUB_AND_RESOLVER)
                return (*error = name + ": exported through a resolver, which this loader does not call"), false;
            const std::uint64_t kind = flags & MACOS_EXPORT_SYMBOL_FLAGS_KIND_MASK;
            if (kind == MACOS_EXPORT_SYMBOL_FLAGS_KIND_THREAD_LOCAL)
                return (*error = name + ": a thread-local variable, which this loader does not support"), false;
            if (!in.uleb(&value)) break;
            out->offset = value;
            out->absolute = kind == MACOS_EXPORT_SYMBOL_FLAGS_KIND_ABSOLUTE;
            return true;
        }
        std::uint8_t children = 0;
        if (!in.seek(children_at) || !in.byte(&children)) break;
        bool descended = false;
        for (unsigned i = 0; i < children && !descended; ++i) {
            std::string_view edge;
            std::uint64_t child = 0;
            if (!in.cstring(&edge) || !in.uleb(&child)) return (*error = "the export trie is malformed"), false;
            if (!edge.empty() && rest.substr(0, edge.size()) == edge) {
                if (!in.seek(child)) return (*error = "the export trie is malformed"), false;
                rest.remove_prefix(edge.size());
                descended = true;
            }
        }
        if (!descended) return (*error = name + ": symbol not found"), false;
    }
    *error = "the export trie is malformed";
    return false;
}

}  // namespace macos
