// An image's __eh_frame: the FDE a DWARF-mode entry of __unwind_info names,
// its CIE's augmentation (personality routine, LSDA and pointer encodings),
// and the step out of a frame by the CFA program of both, interpreted up to
// the frame's pc. The program may use what clang emits for x86-64; any other
// instruction fails the step with its name rather than a guess.
#ifndef ORVELLA_STANDINS_MACOS_DWARF_CFI_H
#define ORVELLA_STANDINS_MACOS_DWARF_CFI_H

#include <cstdint>

#include "standins/macos/compact_unwind.h"
#include "standins/macos/image_registry.h"
#include "standins/macos/memory_range.h"
#include "standins/macos/unwind_context.h"

namespace macos {

// What an FDE and its CIE say of one function.
struct DwarfEntry {
    std::uintptr_t start = 0;        // the FDE's first instruction
    std::uintptr_t end = 0;          // one past its last
    std::uintptr_t personality = 0;  // 0 when none
    std::uintptr_t lsda = 0;         // 0 when none
    // The CFA programs: the CIE's initial one and the FDE's.
    std::uintptr_t cie_program = 0, cie_program_end = 0;
    std::uintptr_t fde_program = 0, fde_program_end = 0;
    std::uint64_t code_alignment = 1;
    std::int64_t data_alignment = 1;
    unsigned return_column = 0;
};

// The FDE at FDE_OFFSET in IMAGE's __eh_frame, which must cover PC.
TableResult read_fde(const ImageInfo& image, std::uint32_t fde_offset, std::uintptr_t pc, DwarfEntry* out);

// Replaces REGISTERS (a frame of ENTRY's function whose return address is
// PC + 1) by its caller's; ARGS_SIZE gets the frame's outgoing argument
// bytes (DW_CFA_GNU_args_size), which a landing pad's stack pointer adds.
StepResult step_dwarf(const ImageInfo& image, const DwarfEntry& entry, std::uintptr_t pc, const MemoryRange& stack,
                      Registers* registers, std::uint64_t* args_size);

}  // namespace macos

#endif
