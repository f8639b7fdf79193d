// The unwinder behind the image's _Unwind_* imports: two-phase unwinding of
// the image's own frames through its __unwind_info and __eh_frame, calling
// each frame's personality routine (the image's own C++ runtime) as the
// Itanium C++ ABI lays down. Its state lives on the throwing thread's stack.
//
// A frame outside every image (the host's, the thread's start) ends the
// search: a throw the image does not catch itself is not caught.
#ifndef ORVELLA_STANDINS_MACOS_UNWINDER_H
#define ORVELLA_STANDINS_MACOS_UNWINDER_H

#include <cstdint>

#include "standins/macos/unwind_context.h"

namespace macos {

// One frame as the personality routine sees it through the _Unwind_Context
// it is handed: its registers (pc: the return address into it), the
// function's start and LSDA, and what the landing pad's rsp adds.
struct UnwindFrame {
    Registers registers{};
    std::uintptr_t function_start = 0;
    std::uintptr_t lsda = 0;
    std::uintptr_t personality = 0;
    std::uint64_t args_size = 0;
};

// _Unwind_RaiseException for EXCEPTION (an _Unwind_Exception of the image)
// thrown by the frame whose registers are CALLER: returns only when the
// throw cannot go on (no handler: end of stack; a table fault: a fatal
// phase error), the reason code for __cxa_throw, which then terminates.
int raise_exception(void* exception, const Registers& caller);

// _Unwind_Resume: goes on with the cleanup phase from CALLER, the frame
// whose cleanup has run. Aborts, saying why, if it cannot.
[[noreturn]] void resume(void* exception, const Registers& caller);

// _Unwind_DeleteException: hands EXCEPTION to its own cleanup routine.
void delete_exception(void* exception);

}  // namespace macos

#endif
