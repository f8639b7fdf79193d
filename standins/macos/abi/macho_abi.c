#include <mach-o/fat.h>
#include <mach-o/loader.h>

#include "mach_o_names.h"
#include "probe.h"

void probe_mach_o(void) {
#define PROBE(name) ABI_VALUE(#name, name);  /* named before the value expands */
    MACH_O_LOAD_COMMANDS(PROBE)
    MACH_O_CPU_TYPES(PROBE)
#undef PROBE
    ABI_CONST(LC_REQ_DYLD);

    /* What a file starts with. */
    ABI_CONST(MH_MAGIC); ABI_CONST(MH_CIGAM); ABI_CONST(MH_MAGIC_64); ABI_CONST(MH_CIGAM_64);
    ABI_CONST(FAT_MAGIC); ABI_CONST(FAT_CIGAM); ABI_CONST(FAT_MAGIC_64); ABI_CONST(FAT_CIGAM_64);
    ABI_CONST(MH_DYLIB);
    ABI_CONST(MH_HAS_TLV_DESCRIPTORS);

    ABI_SIZE(MACH_HEADER_64, struct mach_header_64);
    ABI_MEMBER(MACH_HEADER_64, struct mach_header_64, magic);
    ABI_MEMBER(MACH_HEADER_64, struct mach_header_64, cputype);
    ABI_MEMBER(MACH_HEADER_64, struct mach_header_64, cpusubtype);
    ABI_MEMBER(MACH_HEADER_64, struct mach_header_64, filetype);
    ABI_MEMBER(MACH_HEADER_64, struct mach_header_64, ncmds);
    ABI_MEMBER(MACH_HEADER_64, struct mach_header_64, sizeofcmds);
    ABI_MEMBER(MACH_HEADER_64, struct mach_header_64, flags);
    ABI_MEMBER(MACH_HEADER_64, struct mach_header_64, reserved);

    ABI_SIZE(LOAD_COMMAND, struct load_command);
    ABI_MEMBER(LOAD_COMMAND, struct load_command, cmd);
    ABI_MEMBER(LOAD_COMMAND, struct load_command, cmdsize);

    ABI_SIZE(SEGMENT_COMMAND_64, struct segment_command_64);
    ABI_MEMBER(SEGMENT_COMMAND_64, struct segment_command_64, cmd);
    ABI_MEMBER(SEGMENT_COMMAND_64, struct segment_command_64, cmdsize);
    ABI_MEMBER(SEGMENT_COMMAND_64, struct segment_command_64, segname);
    ABI_MEMBER(SEGMENT_COMMAND_64, struct segment_command_64, vmaddr);
    ABI_MEMBER(SEGMENT_COMMAND_64, struct segment_command_64, vmsize);
    ABI_MEMBER(SEGMENT_COMMAND_64, struct segment_command_64, fileoff);
    ABI_MEMBER(SEGMENT_COMMAND_64, struct segment_command_64, filesize);
    ABI_MEMBER(SEGMENT_COMMAND_64, struct segment_command_64, maxprot);
    ABI_MEMBER(SEGMENT_COMMAND_64, struct segment_command_64, initprot);
    ABI_MEMBER(SEGMENT_COMMAND_64, struct segment_command_64, nsects);
    ABI_MEMBER(SEGMENT_COMMAND_64, struct segment_command_64, flags);
    ABI_CONST(SG_READ_ONLY);

    ABI_SIZE(SECTION_64, struct section_64);
    ABI_MEMBER(SECTION_64, struct section_64, sectname);
    ABI_MEMBER(SECTION_64, struct section_64, segname);
    ABI_MEMBER(SECTION_64, struct section_64, addr);
    ABI_MEMBER(SECTION_64, struct section_64, size);
    ABI_MEMBER(SECTION_64, struct section_64, offset);
    ABI_MEMBER(SECTION_64, struct section_64, align);
    ABI_MEMBER(SECTION_64, struct section_64, reloff);
    ABI_MEMBER(SECTION_64, struct section_64, nreloc);
    ABI_MEMBER(SECTION_64, struct section_64, flags);
    ABI_MEMBER(SECTION_64, struct section_64, reserved1);
    ABI_MEMBER(SECTION_64, struct section_64, reserved2);
    ABI_MEMBER(SECTION_64, struct section_64, reserved3);
    ABI_CONST(SECTION_TYPE);
    ABI_CONST(S_MOD_INIT_FUNC_POINTERS);
    ABI_CONST(S_MOD_TERM_FUNC_POINTERS);
    ABI_CONST(S_INIT_FUNC_OFFSETS);
    ABI_CONST(S_THREAD_LOCAL_REGULAR);
    ABI_CONST(S_THREAD_LOCAL_ZEROFILL);
    ABI_CONST(S_THREAD_LOCAL_VARIABLES);
    ABI_CONST(S_THREAD_LOCAL_VARIABLE_POINTERS);
    ABI_CONST(S_THREAD_LOCAL_INIT_FUNCTION_POINTERS);

    ABI_SIZE(DYLD_INFO_COMMAND, struct dyld_info_command);
    ABI_MEMBER(DYLD_INFO_COMMAND, struct dyld_info_command, rebase_off);
    ABI_MEMBER(DYLD_INFO_COMMAND, struct dyld_info_command, rebase_size);
    ABI_MEMBER(DYLD_INFO_COMMAND, struct dyld_info_command, bind_off);
    ABI_MEMBER(DYLD_INFO_COMMAND, struct dyld_info_command, bind_size);
    ABI_MEMBER(DYLD_INFO_COMMAND, struct dyld_info_command, weak_bind_off);
    ABI_MEMBER(DYLD_INFO_COMMAND, struct dyld_info_command, weak_bind_size);
    ABI_MEMBER(DYLD_INFO_COMMAND, struct dyld_info_command, lazy_bind_off);
    ABI_MEMBER(DYLD_INFO_COMMAND, struct dyld_info_command, lazy_bind_size);
    ABI_MEMBER(DYLD_INFO_COMMAND, struct dyld_info_command, export_off);
    ABI_MEMBER(DYLD_INFO_COMMAND, struct dyld_info_command, export_size);

    /* The name of a dylib a dylib_command names starts this far into it. */
    ABI_SIZE(DYLIB_COMMAND, struct dylib_command);
    ABI_VALUE("OFFSETOF_DYLIB_COMMAND_NAME_OFFSET", offsetof(struct dylib_command, dylib.name.offset));
    ABI_VALUE("SIZEOF_DYLIB_COMMAND_NAME_OFFSET", sizeof(((struct dylib_command*)0)->dylib.name.offset));

    ABI_CONST(VM_PROT_READ); ABI_CONST(VM_PROT_WRITE); ABI_CONST(VM_PROT_EXECUTE);

    ABI_CONST(REBASE_TYPE_POINTER);
    ABI_CONST(REBASE_OPCODE_MASK); ABI_CONST(REBASE_IMMEDIATE_MASK);
    ABI_CONST(REBASE_OPCODE_DONE);
    ABI_CONST(REBASE_OPCODE_SET_TYPE_IMM);
    ABI_CONST(REBASE_OPCODE_SET_SEGMENT_AND_OFFSET_ULEB);
    ABI_CONST(REBASE_OPCODE_ADD_ADDR_ULEB);
    ABI_CONST(REBASE_OPCODE_ADD_ADDR_IMM_SCALED);
    ABI_CONST(REBASE_OPCODE_DO_REBASE_IMM_TIMES);
    ABI_CONST(REBASE_OPCODE_DO_REBASE_ULEB_TIMES);
    ABI_CONST(REBASE_OPCODE_DO_REBASE_ADD_ADDR_ULEB);
    ABI_CONST(REBASE_OPCODE_DO_REBASE_ULEB_TIMES_SKIPPING_ULEB);

    ABI_CONST(BIND_TYPE_POINTER);
    ABI_CONST(BIND_SPECIAL_DYLIB_SELF);
    ABI_CONST(BIND_SPECIAL_DYLIB_MAIN_EXECUTABLE);
    ABI_CONST(BIND_SPECIAL_DYLIB_FLAT_LOOKUP);
    ABI_CONST(BIND_SPECIAL_DYLIB_WEAK_LOOKUP);
    ABI_CONST(BIND_SYMBOL_FLAGS_WEAK_IMPORT);
    ABI_CONST(BIND_SYMBOL_FLAGS_NON_WEAK_DEFINITION);
    ABI_CONST(BIND_OPCODE_MASK); ABI_CONST(BIND_IMMEDIATE_MASK);
    ABI_CONST(BIND_OPCODE_DONE);
    ABI_CONST(BIND_OPCODE_SET_DYLIB_ORDINAL_IMM);
    ABI_CONST(BIND_OPCODE_SET_DYLIB_ORDINAL_ULEB);
    ABI_CONST(BIND_OPCODE_SET_DYLIB_SPECIAL_IMM);
    ABI_CONST(BIND_OPCODE_SET_SYMBOL_TRAILING_FLAGS_IMM);
    ABI_CONST(BIND_OPCODE_SET_TYPE_IMM);
    ABI_CONST(BIND_OPCODE_SET_ADDEND_SLEB);
    ABI_CONST(BIND_OPCODE_SET_SEGMENT_AND_OFFSET_ULEB);
    ABI_CONST(BIND_OPCODE_ADD_ADDR_ULEB);
    ABI_CONST(BIND_OPCODE_DO_BIND);
    ABI_CONST(BIND_OPCODE_DO_BIND_ADD_ADDR_ULEB);
    ABI_CONST(BIND_OPCODE_DO_BIND_ADD_ADDR_IMM_SCALED);
    ABI_CONST(BIND_OPCODE_DO_BIND_ULEB_TIMES_SKIPPING_ULEB);

    ABI_CONST(EXPORT_SYMBOL_FLAGS_KIND_MASK);
    ABI_CONST(EXPORT_SYMBOL_FLAGS_KIND_REGULAR);
    ABI_CONST(EXPORT_SYMBOL_FLAGS_KIND_THREAD_LOCAL);
    ABI_CONST(EXPORT_SYMBOL_FLAGS_KIND_ABSOLUTE);
    ABI_CONST(EXPORT_SYMBOL_FLAGS_WEAK_DEFINITION);
    ABI_CONST(EXPORT_SYMBOL_FLAGS_REEXPORT);
    ABI_CONST(EXPORT_SYMBOL_FLAGS_STUB_AND_RESOLVER);
}
