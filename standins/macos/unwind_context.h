// The registers of one frame as the unwinder walks the stack, and the two
// ends of a throw that only machine code can do: reading the registers of
// the image's code that calls the unwinder, and resuming that code at a
// landing pad with the registers the unwind produced.
#ifndef ORVELLA_STANDINS_MACOS_UNWIND_CONTEXT_H
#define ORVELLA_STANDINS_MACOS_UNWIND_CONTEXT_H

#include <cstdint>

namespace macos {

// x86-64 registers by their DWARF numbers (the psABI's numbering), which
// __eh_frame, the personality routine's _Unwind_SetGR and this unwinder use.
enum DwarfRegister : unsigned {
    kRax = 0, kRdx = 1, kRcx = 2, kRbx = 3, kRsi = 4, kRdi = 5, kRbp = 6, kRsp = 7,
    kR8 = 8, kR9 = 9, kR10 = 10, kR11 = 11, kR12 = 12, kR13 = 13, kR14 = 14, kR15 = 15,
    kReturnAddress = 16,  // the column of the return address: the frame's pc
    kRegisterCount = 17,
};

struct Registers {
    std::uint64_t value[kRegisterCount];
};

// What stepping from a frame to its caller came to.
enum class StepResult {
    kStepped,     // the registers are now the caller's
    kEndOfStack,  // the tables say the frame has no caller
    kFailed,      // the tables or the stack are not what they claim: reported
};

// Says on stderr why a throw cannot go on (a corrupt or unknown table entry,
// a read outside the image or the stack): one line, "unwinder: ...".
void report_unwind_fault(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Jumps to registers.value[kReturnAddress] with rsp, the callee-saved
// registers and rax/rdx (the landing pad's exception and selector) set.
[[noreturn]] void install_registers(const Registers& registers);

}  // namespace macos

// The image's _Unwind_RaiseException and _Unwind_Resume: each reads its
// caller's callee-saved registers, stack pointer and return address into a
// Registers and hands them to the unwinder (unwinder.h).
extern "C" __attribute__((visibility("hidden"))) int macos_unwind_raise_exception(void* exception);
extern "C" [[noreturn]] __attribute__((visibility("hidden"))) void macos_unwind_resume(void* exception);

#endif
