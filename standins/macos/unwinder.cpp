// Two-phase unwinding: the search phase asks each frame's personality
// routine whether it handles the exception, the cleanup phase walks the
// same frames again running their cleanups, and installs the handler's
// landing pad. Each frame's tables are found by the image that holds its pc.
#include "standins/macos/unwinder.h"

#include <pthread.h>

#include <cstddef>
#include <cstdlib>

#include "macos_abi/unwind_abi.h"
#include "standins/macos/compact_unwind.h"
#include "standins/macos/dwarf_cfi.h"
#include "standins/macos/image_registry.h"
#include "standins/macos/memory_range.h"

namespace macos {
namespace {

// struct _Unwind_Exception as the image's C++ runtime lays it out.
struct MacException {
    std::uint64_t exception_class;
    void (*exception_cleanup)(int reason, MacException* exception);
    std::uintptr_t private_1;  // a forced unwind's stop function: none is ever started here
    std::uintptr_t private_2;  // the handler frame's rsp, as the search phase found it
};
static_assert(offsetof(MacException, exception_class) == MACOS_OFFSETOF_UNWIND_EXCEPTION_exception_class, "layout");
static_assert(offsetof(MacException, exception_cleanup) == MACOS_OFFSETOF_UNWIND_EXCEPTION_exception_cleanup, "layout");
static_assert(offsetof(MacException, private_1) == MACOS_OFFSETOF_UNWIND_EXCEPTION_private_1, "layout");
static_assert(offsetof(MacException, private_2) == MACOS_OFFSETOF_UNWIND_EXCEPTION_private_2, "layout");
static_assert(sizeof(MacException) <= MACOS_SIZEOF_UNWIND_EXCEPTION, "layout");

constexpr int kForeignExceptionCaught = MACOS__URC_FOREIGN_EXCEPTION_CAUGHT;
constexpr int kFatalPhase1Error = MACOS__URC_FATAL_PHASE1_ERROR;
constexpr int kFatalPhase2Error = MACOS__URC_FATAL_PHASE2_ERROR;
constexpr int kEndOfStack = MACOS__URC_END_OF_STACK;
constexpr int kHandlerFound = MACOS__URC_HANDLER_FOUND;
constexpr int kInstallContext = MACOS__URC_INSTALL_CONTEXT;
constexpr int kContinueUnwind = MACOS__URC_CONTINUE_UNWIND;
constexpr int kSearchPhase = MACOS__UA_SEARCH_PHASE;
constexpr int kCleanupPhase = MACOS__UA_CLEANUP_PHASE;
constexpr int kHandlerFrame = MACOS__UA_HANDLER_FRAME;
constexpr int kPersonalityVersion = 1;

using Personality = int (*)(int version, int actions, std::uint64_t exception_class, MacException* exception,
                            UnwindFrame* context);

// What the tables say of the function of one frame.
struct FrameTables {
    ImageInfo image;
    CompactEntry compact;
    DwarfEntry dwarf;
    bool dwarf_mode = false;
};

enum class Lookup {
    kFound,
    kOutsideImages,  // the host's frames, the thread's start: the stack ends for the image
    kNoUnwindInfo,   // a function that says it has no unwind information
    kFailed,         // reported
};

Lookup describe(UnwindFrame* frame, FrameTables* tables) {
    // A return address may be the first byte after its function (a call
    // that does not return): the call itself is one byte before.
    const std::uintptr_t pc = frame->registers.value[kReturnAddress] - 1;
    if (!image_containing(pc, &tables->image)) return Lookup::kOutsideImages;
    const ImageInfo& image = tables->image;
    switch (find_compact_entry(image, pc, &tables->compact)) {
        case TableResult::kFound: break;
        case TableResult::kNoEntry:
            report_unwind_fault("%s: no unwind entry for pc 0x%lx", image.path.c_str(),
                                static_cast<unsigned long>(pc - image.header));
            return Lookup::kNoUnwindInfo;
        case TableResult::kCorrupt: return Lookup::kFailed;
    }
    // A frame found by its return address made a call, so a function
    // without unwind information is never taken for a leaf: it ends the walk.
    if (tables->compact.encoding == 0) {
        report_unwind_fault("%s: the function at 0x%lx has no unwind information", image.path.c_str(),
                            static_cast<unsigned long>(tables->compact.start - image.header));
        return Lookup::kNoUnwindInfo;
    }
    tables->dwarf_mode = is_dwarf_encoding(tables->compact.encoding);
    if (tables->dwarf_mode) {
        if (read_fde(image, dwarf_fde_offset(tables->compact.encoding), pc, &tables->dwarf) != TableResult::kFound)
            return Lookup::kFailed;
        frame->function_start = tables->dwarf.start;
        frame->lsda = tables->dwarf.lsda;
        frame->personality = tables->dwarf.personality;
    } else {
        frame->function_start = tables->compact.start;
        frame->lsda = tables->compact.lsda;
        frame->personality = tables->compact.personality;
    }
    frame->args_size = 0;
    ImageInfo owner;
    if (frame->personality != 0 &&
        (!image_containing(frame->personality, &owner) || frame->personality < owner.text_start ||
         frame->personality >= owner.text_end)) {
        report_unwind_fault("%s: the function at 0x%lx has a personality routine outside every image's text",
                            image.path.c_str(), static_cast<unsigned long>(frame->function_start - image.header));
        return Lookup::kFailed;
    }
    return Lookup::kFound;
}

// Replaces FRAME's registers by its caller's.
StepResult step(UnwindFrame* frame, const FrameTables& tables, const MemoryRange& stack) {
    const std::uint64_t rsp = frame->registers.value[kRsp];
    const std::uintptr_t pc = frame->registers.value[kReturnAddress] - 1;
    std::uint64_t args_size = 0;
    const StepResult result = tables.dwarf_mode
                                  ? step_dwarf(tables.image, tables.dwarf, pc, stack, &frame->registers, &args_size)
                                  : step_compact(tables.image, tables.compact, stack, &frame->registers);
    if (result != StepResult::kStepped) return result;
    if (frame->registers.value[kReturnAddress] == 0) return StepResult::kEndOfStack;
    if (frame->registers.value[kRsp] <= rsp) {
        report_unwind_fault("%s: the function at 0x%lx: its caller's frame is not above it on the stack",
                            tables.image.path.c_str(),
                            static_cast<unsigned long>(frame->function_start - tables.image.header));
        return StepResult::kFailed;
    }
    return StepResult::kStepped;
}

int call_personality(UnwindFrame* frame, int actions, MacException* exception) {
    const auto personality = reinterpret_cast<Personality>(frame->personality);
    return personality(kPersonalityVersion, actions, exception->exception_class, exception, frame);
}

// The stack of this thread from RSP up: every frame the unwinder reads.
bool thread_stack(std::uintptr_t rsp, MemoryRange* out) {
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0) return false;
    void* low = nullptr;
    std::size_t size = 0;
    const int got = pthread_attr_getstack(&attributes, &low, &size);
    pthread_attr_destroy(&attributes);
    const auto high = reinterpret_cast<std::uintptr_t>(low) + size;
    if (got != 0 || rsp < reinterpret_cast<std::uintptr_t>(low) || rsp >= high) return false;
    *out = {rsp, high};
    return true;
}

int search_phase(MacException* exception, const Registers& caller, const MemoryRange& stack) {
    UnwindFrame frame;
    frame.registers = caller;
    for (;;) {
        FrameTables tables;
        switch (describe(&frame, &tables)) {
            case Lookup::kFound: break;
            case Lookup::kOutsideImages:
            case Lookup::kNoUnwindInfo: return kEndOfStack;
            case Lookup::kFailed: return kFatalPhase1Error;
        }
        if (frame.personality != 0) {
            const int reason = call_personality(&frame, kSearchPhase, exception);
            if (reason == kHandlerFound) {
                exception->private_2 = frame.registers.value[kRsp];
                return kHandlerFound;
            }
            if (reason != kContinueUnwind) {
                report_unwind_fault("search phase: a personality routine answered %d", reason);
                return kFatalPhase1Error;
            }
        }
        switch (step(&frame, tables, stack)) {
            case StepResult::kStepped: break;
            case StepResult::kEndOfStack: return kEndOfStack;
            case StepResult::kFailed: return kFatalPhase1Error;
        }
    }
}

enum class CleanupStep { kStepped, kLandingPad, kFailed };

// One frame of the cleanup phase: runs its personality routine and either
// steps to the caller or says where the landing pad is (in FRAME). Its own
// locals are gone when it returns, so jumping to the pad leaks nothing.
CleanupStep cleanup_frame(MacException* exception, UnwindFrame* frame, const MemoryRange& stack, int* reason) {
    FrameTables tables;
    if (describe(frame, &tables) != Lookup::kFound) {
        report_unwind_fault("cleanup phase: lost the way to the handler the search phase found");
        *reason = kFatalPhase2Error;
        return CleanupStep::kFailed;
    }
    const bool handler = frame->registers.value[kRsp] == exception->private_2;
    *reason = frame->personality == 0
                  ? kContinueUnwind
                  : call_personality(frame, kCleanupPhase | (handler ? kHandlerFrame : 0), exception);
    if (*reason == kInstallContext) {
        if (tables.dwarf_mode) {
            // The landing pad expects the call's pushed arguments popped.
            Registers caller = frame->registers;
            if (step_dwarf(tables.image, tables.dwarf, frame->registers.value[kReturnAddress] - 1, stack, &caller,
                           &frame->args_size) == StepResult::kFailed) {
                *reason = kFatalPhase2Error;
                return CleanupStep::kFailed;
            }
            frame->registers.value[kRsp] += frame->args_size;
        }
        return CleanupStep::kLandingPad;
    }
    if (*reason != kContinueUnwind || handler) {
        report_unwind_fault("cleanup phase: a personality routine answered %d%s", *reason,
                            handler ? " at the handler's frame" : "");
        *reason = kFatalPhase2Error;
        return CleanupStep::kFailed;
    }
    if (step(frame, tables, stack) == StepResult::kStepped) return CleanupStep::kStepped;
    *reason = kFatalPhase2Error;
    return CleanupStep::kFailed;
}

// Walks from FROM to the handler frame the search phase marked, running
// cleanups; returns only when it cannot get there.
int cleanup_phase(MacException* exception, const Registers& from, const MemoryRange& stack) {
    UnwindFrame frame;
    frame.registers = from;
    int reason = kContinueUnwind;
    for (;;) {
        switch (cleanup_frame(exception, &frame, stack, &reason)) {
            case CleanupStep::kStepped: continue;
            case CleanupStep::kLandingPad: install_registers(frame.registers);
            case CleanupStep::kFailed: return reason;
        }
    }
}

}  // namespace

int raise_exception(void* exception_object, const Registers& caller) {
    auto* exception = static_cast<MacException*>(exception_object);
    exception->private_1 = 0;
    exception->private_2 = 0;
    MemoryRange stack;
    if (!thread_stack(caller.value[kRsp], &stack)) {
        report_unwind_fault("cannot find the throwing thread's stack");
        return kFatalPhase1Error;
    }
    const int found = search_phase(exception, caller, stack);
    if (found != kHandlerFound) return found;
    return cleanup_phase(exception, caller, stack);
}

void resume(void* exception_object, const Registers& caller) {
    auto* exception = static_cast<MacException*>(exception_object);
    MemoryRange stack;
    const int reason = thread_stack(caller.value[kRsp], &stack) ? cleanup_phase(exception, caller, stack)
                                                                 : kFatalPhase2Error;
    report_unwind_fault("_Unwind_Resume cannot go on (reason %d)", reason);
    std::abort();
}

void delete_exception(void* exception_object) {
    auto* exception = static_cast<MacException*>(exception_object);
    if (exception->exception_cleanup != nullptr) exception->exception_cleanup(kForeignExceptionCaught, exception);
}

}  // namespace macos
