// libSystem shims: unwind. The image's C++ runtime throws through these;
// the _Unwind_Context it is handed is the unwinder's UnwindFrame.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "standins/macos/libsystem.h"
#include "standins/macos/unwind_context.h"
#include "standins/macos/unwinder.h"

namespace macos {
namespace {

UnwindFrame* frame_of(void* context) { return static_cast<UnwindFrame*>(context); }

std::uintptr_t get_ip(void* context) { return frame_of(context)->registers.value[kReturnAddress]; }
void set_ip(void* context, std::uintptr_t value) { frame_of(context)->registers.value[kReturnAddress] = value; }
std::uintptr_t get_lsda(void* context) { return frame_of(context)->lsda; }
std::uintptr_t get_region_start(void* context) { return frame_of(context)->function_start; }

// Registers by DWARF number; the personality routine sets the landing
// pad's two data registers (rax, rdx). A number past them all is a fault
// of the caller, not something to drop.
void set_gr(void* context, int index, std::uintptr_t value) {
    if (index < 0 || index >= static_cast<int>(kRegisterCount)) {
        report_unwind_fault("_Unwind_SetGR of register %d, which x86-64 does not have", index);
        std::abort();
    }
    frame_of(context)->registers.value[index] = value;
}

const Shim kShims[] = {
    // Entered from the image's code: they read the caller's registers first.
    {"__Unwind_RaiseException", reinterpret_cast<const void*>(&macos_unwind_raise_exception)},
    {"__Unwind_Resume", reinterpret_cast<const void*>(&macos_unwind_resume)},
    {"__Unwind_DeleteException", reinterpret_cast<const void*>(&delete_exception)},
    {"__Unwind_GetIP", reinterpret_cast<const void*>(&get_ip)},
    {"__Unwind_SetIP", reinterpret_cast<const void*>(&set_ip)},
    {"__Unwind_SetGR", reinterpret_cast<const void*>(&set_gr)},
    {"__Unwind_GetLanguageSpecificData", reinterpret_cast<const void*>(&get_lsda)},
    {"__Unwind_GetRegionStart", reinterpret_cast<const void*>(&get_region_start)},
};

}  // namespace

ShimTable unwind_shims() { return {kShims, kShims + sizeof kShims / sizeof kShims[0]}; }

}  // namespace macos
