// Register capture and landing-pad installation: x86-64 assembly, since no
// C++ can read its caller's callee-saved registers or set rsp and jump.
#include "standins/macos/unwind_context.h"

#include <cstdarg>
#include <cstddef>
#include <cstdio>

#include "standins/macos/unwinder.h"

namespace macos {
namespace {

// The assembly below addresses Registers by these offsets.
static_assert(sizeof(Registers) == 136, "Registers: 17 words");
static_assert(offsetof(Registers, value) == 0, "Registers: the words first");

}  // namespace
}  // namespace macos

extern "C" {

__attribute__((visibility("hidden"))) int macos_unwind_raise_exception_from(
    void* exception, const macos::Registers* caller) {
    return macos::raise_exception(exception, *caller);
}

__attribute__((visibility("hidden"))) void macos_unwind_resume_from(
    void* exception, const macos::Registers* caller) {
    macos::resume(exception, *caller);
}

[[noreturn]] __attribute__((visibility("hidden"))) void macos_unwind_install_registers(
    const macos::Registers* registers);

}  // extern "C"

// On entry rsp points at the return address into the image's code: the
// caller's frame is that return address and rsp + 8, with every callee-saved
// register as the caller left it. 136 bytes of Registers keep rsp 16-byte
// aligned for the call.
asm(R"(
    .macro ORVELLA_CAPTURE_CALLER target
    .cfi_startproc
    subq $136, %rsp
    .cfi_def_cfa_offset 144
    movq %rax, 0(%rsp)
    movq %rdx, 8(%rsp)
    movq %rcx, 16(%rsp)
    movq %rbx, 24(%rsp)
    movq %rsi, 32(%rsp)
    movq %rdi, 40(%rsp)
    movq %rbp, 48(%rsp)
    leaq 144(%rsp), %rax
    movq %rax, 56(%rsp)
    movq %r8, 64(%rsp)
    movq %r9, 72(%rsp)
    movq %r10, 80(%rsp)
    movq %r11, 88(%rsp)
    movq %r12, 96(%rsp)
    movq %r13, 104(%rsp)
    movq %r14, 112(%rsp)
    movq %r15, 120(%rsp)
    movq 136(%rsp), %rax
    movq %rax, 128(%rsp)
    movq %rsp, %rsi
    call \target@PLT
    .endm

    .text
    .p2align 4
    .globl macos_unwind_raise_exception
    .hidden macos_unwind_raise_exception
    .type macos_unwind_raise_exception, @function
macos_unwind_raise_exception:
    ORVELLA_CAPTURE_CALLER macos_unwind_raise_exception_from
    addq $136, %rsp
    .cfi_def_cfa_offset 8
    ret
    .cfi_endproc
    .size macos_unwind_raise_exception, .-macos_unwind_raise_exception

    .p2align 4
    .globl macos_unwind_resume
    .hidden macos_unwind_resume
    .type macos_unwind_resume, @function
macos_unwind_resume:
    ORVELLA_CAPTURE_CALLER macos_unwind_resume_from
    ud2
    .cfi_endproc
    .size macos_unwind_resume, .-macos_unwind_resume

    .p2align 4
    .globl macos_unwind_install_registers
    .hidden macos_unwind_install_registers
    .type macos_unwind_install_registers, @function
macos_unwind_install_registers:
    movq 0(%rdi), %rax
    movq 8(%rdi), %rdx
    movq 24(%rdi), %rbx
    movq 48(%rdi), %rbp
    movq 96(%rdi), %r12
    movq 104(%rdi), %r13
    movq 112(%rdi), %r14
    movq 120(%rdi), %r15
    movq 128(%rdi), %rcx
    movq 56(%rdi), %rsp
    jmp *%rcx
    .size macos_unwind_install_registers, .-macos_unwind_install_registers

    .purgem ORVELLA_CAPTURE_CALLER
)");

namespace macos {

void report_unwind_fault(const char* format, ...) {
    char text[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    std::fprintf(stderr, "unwinder: %s\n", text);
}

void install_registers(const Registers& registers) { macos_unwind_install_registers(&registers); }

}  // namespace macos
