/* Probes of the macOS ABI, compiled for the Mac by Zig's clang against the
 * headers the dylib is compiled against (never run): each probe leaves a line
 * "#abi NAME VALUE" in the assembly, which generate-header turns into
 * "#define MACOS_NAME VALUE". So every macOS constant and layout the stand-in
 * translates comes from those headers, never from memory. */
#ifndef ORVELLA_MACOS_ABI_PROBE_H
#define ORVELLA_MACOS_ABI_PROBE_H
#include <stddef.h>

#define ABI_VALUE(name, value) \
    __asm__ volatile("\n#abi " name " %c0" : : "i"((long long)(value)))
/* A constant of the headers: MACOS_<NAME>. */
#define ABI_CONST(name) ABI_VALUE(#name, name)
/* A type's size: MACOS_SIZEOF_<LABEL>. */
#define ABI_SIZE(label, type) ABI_VALUE("SIZEOF_" #label, sizeof(type))
/* A member's offset and size: MACOS_OFFSETOF_<LABEL>_<MEMBER>, MACOS_SIZEOF_<LABEL>_<MEMBER>. */
#define ABI_MEMBER(label, type, member)                                   \
    ABI_VALUE("OFFSETOF_" #label "_" #member, offsetof(type, member));   \
    ABI_VALUE("SIZEOF_" #label "_" #member, sizeof(((type*)0)->member))

#endif
