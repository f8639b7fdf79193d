/* The unwinder's side of the macOS ABI: the compact unwind encodings and the
 * layout of __unwind_info (as the linker writes them), and the C++ runtime's
 * unwind interface (as its personality routine and __cxa_throw call it). */
#include <mach-o/compact_unwind_encoding.h>
#include <unwind.h>

#include "probe.h"

void probe_unwind(void) {
    ABI_CONST(UNWIND_SECTION_VERSION);
    ABI_CONST(UNWIND_SECOND_LEVEL_REGULAR);
    ABI_CONST(UNWIND_SECOND_LEVEL_COMPRESSED);
    ABI_CONST(UNWIND_HAS_LSDA);
    ABI_CONST(UNWIND_PERSONALITY_MASK);
    ABI_CONST(UNWIND_X86_64_MODE_MASK);
    ABI_CONST(UNWIND_X86_64_MODE_RBP_FRAME);
    ABI_CONST(UNWIND_X86_64_MODE_STACK_IMMD);
    ABI_CONST(UNWIND_X86_64_MODE_STACK_IND);
    ABI_CONST(UNWIND_X86_64_MODE_DWARF);
    ABI_CONST(UNWIND_X86_64_RBP_FRAME_REGISTERS);
    ABI_CONST(UNWIND_X86_64_RBP_FRAME_OFFSET);
    ABI_CONST(UNWIND_X86_64_FRAMELESS_STACK_SIZE);
    ABI_CONST(UNWIND_X86_64_FRAMELESS_STACK_ADJUST);
    ABI_CONST(UNWIND_X86_64_FRAMELESS_STACK_REG_COUNT);
    ABI_CONST(UNWIND_X86_64_FRAMELESS_STACK_REG_PERMUTATION);
    ABI_CONST(UNWIND_X86_64_DWARF_SECTION_OFFSET);
    ABI_CONST(UNWIND_X86_64_REG_NONE);
    ABI_CONST(UNWIND_X86_64_REG_RBX);
    ABI_CONST(UNWIND_X86_64_REG_R12);
    ABI_CONST(UNWIND_X86_64_REG_R13);
    ABI_CONST(UNWIND_X86_64_REG_R14);
    ABI_CONST(UNWIND_X86_64_REG_R15);
    ABI_CONST(UNWIND_X86_64_REG_RBP);

    ABI_SIZE(UNWIND_INFO_HEADER, struct unwind_info_section_header);
    ABI_MEMBER(UNWIND_INFO_HEADER, struct unwind_info_section_header, version);
    ABI_MEMBER(UNWIND_INFO_HEADER, struct unwind_info_section_header, commonEncodingsArraySectionOffset);
    ABI_MEMBER(UNWIND_INFO_HEADER, struct unwind_info_section_header, commonEncodingsArrayCount);
    ABI_MEMBER(UNWIND_INFO_HEADER, struct unwind_info_section_header, personalityArraySectionOffset);
    ABI_MEMBER(UNWIND_INFO_HEADER, struct unwind_info_section_header, personalityArrayCount);
    ABI_MEMBER(UNWIND_INFO_HEADER, struct unwind_info_section_header, indexSectionOffset);
    ABI_MEMBER(UNWIND_INFO_HEADER, struct unwind_info_section_header, indexCount);
    ABI_SIZE(UNWIND_INDEX_ENTRY, struct unwind_info_section_header_index_entry);
    ABI_MEMBER(UNWIND_INDEX_ENTRY, struct unwind_info_section_header_index_entry, functionOffset);
    ABI_MEMBER(UNWIND_INDEX_ENTRY, struct unwind_info_section_header_index_entry, secondLevelPagesSectionOffset);
    ABI_MEMBER(UNWIND_INDEX_ENTRY, struct unwind_info_section_header_index_entry, lsdaIndexArraySectionOffset);
    ABI_SIZE(UNWIND_LSDA_ENTRY, struct unwind_info_section_header_lsda_index_entry);
    ABI_MEMBER(UNWIND_LSDA_ENTRY, struct unwind_info_section_header_lsda_index_entry, functionOffset);
    ABI_MEMBER(UNWIND_LSDA_ENTRY, struct unwind_info_section_header_lsda_index_entry, lsdaOffset);
    ABI_SIZE(UNWIND_REGULAR_ENTRY, struct unwind_info_regular_second_level_entry);
    ABI_MEMBER(UNWIND_REGULAR_ENTRY, struct unwind_info_regular_second_level_entry, functionOffset);
    ABI_MEMBER(UNWIND_REGULAR_ENTRY, struct unwind_info_regular_second_level_entry, encoding);
    ABI_SIZE(UNWIND_REGULAR_PAGE, struct unwind_info_regular_second_level_page_header);
    ABI_MEMBER(UNWIND_REGULAR_PAGE, struct unwind_info_regular_second_level_page_header, kind);
    ABI_MEMBER(UNWIND_REGULAR_PAGE, struct unwind_info_regular_second_level_page_header, entryPageOffset);
    ABI_MEMBER(UNWIND_REGULAR_PAGE, struct unwind_info_regular_second_level_page_header, entryCount);
    ABI_SIZE(UNWIND_COMPRESSED_PAGE, struct unwind_info_compressed_second_level_page_header);
    ABI_MEMBER(UNWIND_COMPRESSED_PAGE, struct unwind_info_compressed_second_level_page_header, kind);
    ABI_MEMBER(UNWIND_COMPRESSED_PAGE, struct unwind_info_compressed_second_level_page_header, entryPageOffset);
    ABI_MEMBER(UNWIND_COMPRESSED_PAGE, struct unwind_info_compressed_second_level_page_header, entryCount);
    ABI_MEMBER(UNWIND_COMPRESSED_PAGE, struct unwind_info_compressed_second_level_page_header, encodingsPageOffset);
    ABI_MEMBER(UNWIND_COMPRESSED_PAGE, struct unwind_info_compressed_second_level_page_header, encodingsCount);
    /* A compressed entry: the function's offset from the page's first
     * function in its low bits, the encoding's index above them. */
    ABI_VALUE("COMPRESSED_ENTRY_FUNC_OFFSET_MASK", UNWIND_INFO_COMPRESSED_ENTRY_FUNC_OFFSET(0xFFFFFFFFu));
    ABI_VALUE("COMPRESSED_ENTRY_ENCODING_INDEX_SHIFT", __builtin_ctz(0xFFFFFFFFu ^ UNWIND_INFO_COMPRESSED_ENTRY_FUNC_OFFSET(0xFFFFFFFFu)));
    ABI_VALUE("COMPRESSED_ENTRY_ENCODING_INDEX_MASK", UNWIND_INFO_COMPRESSED_ENTRY_ENCODING_INDEX(0xFFFFFFFFu));

    ABI_CONST(_URC_NO_REASON);
    ABI_CONST(_URC_FOREIGN_EXCEPTION_CAUGHT);
    ABI_CONST(_URC_FATAL_PHASE2_ERROR);
    ABI_CONST(_URC_FATAL_PHASE1_ERROR);
    ABI_CONST(_URC_END_OF_STACK);
    ABI_CONST(_URC_HANDLER_FOUND);
    ABI_CONST(_URC_INSTALL_CONTEXT);
    ABI_CONST(_URC_CONTINUE_UNWIND);
    ABI_CONST(_UA_SEARCH_PHASE);
    ABI_CONST(_UA_CLEANUP_PHASE);
    ABI_CONST(_UA_HANDLER_FRAME);
    ABI_SIZE(UNWIND_EXCEPTION, struct _Unwind_Exception);
    ABI_VALUE("ALIGNOF_UNWIND_EXCEPTION", _Alignof(struct _Unwind_Exception));
    ABI_MEMBER(UNWIND_EXCEPTION, struct _Unwind_Exception, exception_class);
    ABI_MEMBER(UNWIND_EXCEPTION, struct _Unwind_Exception, exception_cleanup);
    ABI_MEMBER(UNWIND_EXCEPTION, struct _Unwind_Exception, private_1);
    ABI_MEMBER(UNWIND_EXCEPTION, struct _Unwind_Exception, private_2);
}
