// An image's __unwind_info: the two-level index from a pc to its function's
// compact encoding, personality routine and LSDA, and the step out of a
// frame that a compact encoding describes (rbp frame, frameless with the
// stack size in the encoding or in the function's own subq).
#ifndef ORVELLA_STANDINS_MACOS_COMPACT_UNWIND_H
#define ORVELLA_STANDINS_MACOS_COMPACT_UNWIND_H

#include <cstdint>

#include "standins/macos/image_registry.h"
#include "standins/macos/memory_range.h"
#include "standins/macos/unwind_context.h"

namespace macos {

// What __unwind_info says of one function.
struct CompactEntry {
    std::uintptr_t start = 0;        // the function's first instruction
    std::uintptr_t end = 0;          // the next entry's start
    std::uint32_t encoding = 0;      // 0: the function has no unwind information
    std::uintptr_t personality = 0;  // its personality routine, 0 when none
    std::uintptr_t lsda = 0;         // its language-specific data, 0 when none
};

enum class TableResult {
    kFound,
    kNoEntry,  // no function of the table holds the pc
    kCorrupt,  // the table contradicts itself or points outside: reported
};

// The entry of the function holding PC (a return address less one) in
// IMAGE's __unwind_info.
TableResult find_compact_entry(const ImageInfo& image, std::uintptr_t pc, CompactEntry* out);

// Whether ENCODING hands the function to __eh_frame, and the FDE's offset.
bool is_dwarf_encoding(std::uint32_t encoding);
std::uint32_t dwarf_fde_offset(std::uint32_t encoding);

// Replaces REGISTERS (a frame of ENTRY's function) by its caller's, reading
// saved registers and the return address from STACK. Not for DWARF mode.
StepResult step_compact(const ImageInfo& image, const CompactEntry& entry, const MemoryRange& stack,
                        Registers* registers);

}  // namespace macos

#endif
