// The fixups of an image's dyld info, decoded from their opcode streams:
// each pointer to slide (rebase) and each pointer to bind to a symbol (bind,
// weak bind, lazy bind). The streams are checked as they are read: a
// location outside its segment or an opcode this loader does not know ends
// the decoding with the reason.
#ifndef ORVELLA_STANDINS_MACOS_MACH_O_FIXUPS_H
#define ORVELLA_STANDINS_MACOS_MACH_O_FIXUPS_H

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace macos {

// A pointer-sized location: segment index (load-command order) and offset in it.
struct FixupLocation {
    unsigned segment = 0;
    std::uint64_t offset = 0;
};

struct BindSite {
    FixupLocation location;
    std::int64_t ordinal = 0;  // 1 up: the dylibs in order; 0 and below: BIND_SPECIAL_DYLIB_*
    std::string_view symbol;   // as the image names it: "_open", "dyld_stub_binder"
    bool weak_import = false;  // may stay unbound
    bool non_weak_definition = false;  // in a weak bind stream: the image's own strong definition
    std::int64_t addend = 0;
};

enum class BindStream { regular, weak, lazy };

// SEGMENT_SIZES are the segments' sizes in memory, in load-command order.
bool decode_rebases(const std::uint8_t* opcodes, std::size_t size,
                    const std::vector<std::uint64_t>& segment_sizes,
                    const std::function<void(const FixupLocation&)>& rebase, std::string* error);
bool decode_binds(const std::uint8_t* opcodes, std::size_t size, BindStream stream,
                  const std::vector<std::uint64_t>& segment_sizes,
                  const std::function<void(const BindSite&)>& bind, std::string* error);

}  // namespace macos

#endif
