// Reading __unwind_info and stepping with x86-64 compact encodings. Every
// read of the section goes through its MemoryRange; the offsets and sizes of
// its structures and the encoding's fields come from the macOS headers.
#include "standins/macos/compact_unwind.h"

#include "macos_abi/unwind_abi.h"

namespace macos {
namespace {

constexpr std::uint32_t kWord = 8;

template <long long Offset, long long Size, typename T>
bool read_field(const MemoryRange& range, std::uintptr_t base, T* out) {
    static_assert(Size == sizeof(T), "a field read as another width");
    return range.read(base + Offset, out);
}
#define READ_FIELD(range, base, label, member, out) \
    read_field<MACOS_OFFSETOF_##label##_##member, MACOS_SIZEOF_##label##_##member>(range, base, out)

constexpr std::uint32_t bits(std::uint32_t encoding, long long mask) {
    return (encoding & static_cast<std::uint32_t>(mask)) >> __builtin_ctz(static_cast<std::uint32_t>(mask));
}

MemoryRange section_range(const SectionBytes& section) {
    const auto begin = reinterpret_cast<std::uintptr_t>(section.data);
    return {begin, begin + section.size};
}

TableResult corrupt(const ImageInfo& image, const char* what, std::uintptr_t pc) {
    report_unwind_fault("%s: __unwind_info: %s (looking up pc 0x%lx)", image.path.c_str(), what,
                        static_cast<unsigned long>(pc - image.header));
    return TableResult::kCorrupt;
}

struct Header {
    std::uint32_t common_offset = 0, common_count = 0;
    std::uint32_t personality_offset = 0, personality_count = 0;
    std::uint32_t index_offset = 0, index_count = 0;
};

struct IndexEntry {
    std::uint32_t function_offset = 0, page_offset = 0, lsda_offset = 0;
};

bool read_index_entry(const MemoryRange& section, const Header& header, std::uint32_t i, IndexEntry* out) {
    const std::uintptr_t at = section.begin + header.index_offset + std::uintptr_t{i} * MACOS_SIZEOF_UNWIND_INDEX_ENTRY;
    return READ_FIELD(section, at, UNWIND_INDEX_ENTRY, functionOffset, &out->function_offset) &&
           READ_FIELD(section, at, UNWIND_INDEX_ENTRY, secondLevelPagesSectionOffset, &out->page_offset) &&
           READ_FIELD(section, at, UNWIND_INDEX_ENTRY, lsdaIndexArraySectionOffset, &out->lsda_offset);
}

// The last of COUNT sorted entries whose start is at most TARGET, by
// START_OF(i); false when the first already starts after it or a read fails.
template <typename StartOf>
bool last_at_or_below(std::uint32_t count, std::uint32_t target, StartOf start_of, std::uint32_t* found) {
    std::uint32_t low = 0, high = count;  // answer in [low, high)
    std::uint32_t first = 0;
    if (count == 0 || !start_of(0, &first) || first > target) return false;
    while (high - low > 1) {
        const std::uint32_t middle = low + (high - low) / 2;
        std::uint32_t start = 0;
        if (!start_of(middle, &start)) return false;
        if (start <= target) low = middle;
        else high = middle;
    }
    *found = low;
    return true;
}

// A second-level page's entry for the function holding PC_OFFSET: its
// start, the next entry's start (or the index's next range), its encoding.
TableResult read_page(const ImageInfo& image, std::uintptr_t pc, const MemoryRange& section, const Header& header,
                      const IndexEntry& range, std::uint32_t range_end, std::uint32_t pc_offset,
                      std::uint32_t* start, std::uint32_t* end, std::uint32_t* encoding) {
    const std::uintptr_t page = section.begin + range.page_offset;
    std::uint32_t kind = 0;
    if (range.page_offset == 0 || !section.read(page, &kind)) return corrupt(image, "a page outside the section", pc);
    std::uint16_t entries_offset = 0, count = 0;
    if (kind == MACOS_UNWIND_SECOND_LEVEL_REGULAR) {
        if (!READ_FIELD(section, page, UNWIND_REGULAR_PAGE, entryPageOffset, &entries_offset) ||
            !READ_FIELD(section, page, UNWIND_REGULAR_PAGE, entryCount, &count))
            return corrupt(image, "a page header outside the section", pc);
        const std::uintptr_t entries = page + entries_offset;
        auto entry_at = [&](std::uint32_t i) { return entries + std::uintptr_t{i} * MACOS_SIZEOF_UNWIND_REGULAR_ENTRY; };
        auto start_of = [&](std::uint32_t i, std::uint32_t* out) {
            return READ_FIELD(section, entry_at(i), UNWIND_REGULAR_ENTRY, functionOffset, out);
        };
        std::uint32_t i = 0;
        if (!last_at_or_below(count, pc_offset, start_of, &i)) return TableResult::kNoEntry;
        if (!start_of(i, start) || !READ_FIELD(section, entry_at(i), UNWIND_REGULAR_ENTRY, encoding, encoding) ||
            (i + 1 < count && !start_of(i + 1, end)))
            return corrupt(image, "a regular entry outside the section", pc);
        if (i + 1 == count) *end = range_end;
        return TableResult::kFound;
    }
    if (kind != MACOS_UNWIND_SECOND_LEVEL_COMPRESSED) return corrupt(image, "a page of an unknown kind", pc);
    std::uint16_t encodings_offset = 0, encodings_count = 0;
    if (!READ_FIELD(section, page, UNWIND_COMPRESSED_PAGE, entryPageOffset, &entries_offset) ||
        !READ_FIELD(section, page, UNWIND_COMPRESSED_PAGE, entryCount, &count) ||
        !READ_FIELD(section, page, UNWIND_COMPRESSED_PAGE, encodingsPageOffset, &encodings_offset) ||
        !READ_FIELD(section, page, UNWIND_COMPRESSED_PAGE, encodingsCount, &encodings_count))
        return corrupt(image, "a page header outside the section", pc);
    const std::uintptr_t entries = page + entries_offset;
    auto start_of = [&](std::uint32_t i, std::uint32_t* out) {
        std::uint32_t word = 0;
        if (!section.read(entries + std::uintptr_t{i} * 4, &word)) return false;
        *out = range.function_offset + bits(word, MACOS_COMPRESSED_ENTRY_FUNC_OFFSET_MASK);
        return true;
    };
    std::uint32_t i = 0, word = 0;
    if (!last_at_or_below(count, pc_offset, start_of, &i)) return TableResult::kNoEntry;
    if (!start_of(i, start) || !section.read(entries + std::uintptr_t{i} * 4, &word) ||
        (i + 1 < count && !start_of(i + 1, end)))
        return corrupt(image, "a compressed entry outside the section", pc);
    if (i + 1 == count) *end = range_end;
    const std::uint32_t index =
        (word >> MACOS_COMPRESSED_ENTRY_ENCODING_INDEX_SHIFT) & MACOS_COMPRESSED_ENTRY_ENCODING_INDEX_MASK;
    const bool common = index < header.common_count;
    const bool read = common ? section.read(section.begin + header.common_offset + std::uintptr_t{index} * 4, encoding)
                             : index - header.common_count < encodings_count &&
                                   section.read(page + encodings_offset + std::uintptr_t{index - header.common_count} * 4,
                                                encoding);
    if (!read) return corrupt(image, "an encoding index outside the encodings", pc);
    return TableResult::kFound;
}

// The LSDA of the function at FUNCTION_OFFSET, from the index range's slice
// of the LSDA array (sorted by function).
TableResult find_lsda(const ImageInfo& image, std::uintptr_t pc, const MemoryRange& section, const IndexEntry& range,
                      const IndexEntry& next, std::uint32_t function_offset, std::uintptr_t* lsda) {
    if (next.lsda_offset < range.lsda_offset) return corrupt(image, "LSDA index ranges out of order", pc);
    const std::uint32_t count = (next.lsda_offset - range.lsda_offset) / MACOS_SIZEOF_UNWIND_LSDA_ENTRY;
    const std::uintptr_t entries = section.begin + range.lsda_offset;
    auto entry_at = [&](std::uint32_t i) { return entries + std::uintptr_t{i} * MACOS_SIZEOF_UNWIND_LSDA_ENTRY; };
    auto start_of = [&](std::uint32_t i, std::uint32_t* out) {
        return READ_FIELD(section, entry_at(i), UNWIND_LSDA_ENTRY, functionOffset, out);
    };
    std::uint32_t i = 0, start = 0, lsda_offset = 0;
    if (!last_at_or_below(count, function_offset, start_of, &i) || !start_of(i, &start) || start != function_offset ||
        !READ_FIELD(section, entry_at(i), UNWIND_LSDA_ENTRY, lsdaOffset, &lsda_offset))
        return corrupt(image, "a function with an LSDA missing from the LSDA index", pc);
    *lsda = image.header + lsda_offset;
    if (*lsda < image.start || *lsda >= image.end) return corrupt(image, "an LSDA outside the image", pc);
    return TableResult::kFound;
}

}  // namespace

bool is_dwarf_encoding(std::uint32_t encoding) {
    return (encoding & MACOS_UNWIND_X86_64_MODE_MASK) == MACOS_UNWIND_X86_64_MODE_DWARF;
}

std::uint32_t dwarf_fde_offset(std::uint32_t encoding) {
    return encoding & MACOS_UNWIND_X86_64_DWARF_SECTION_OFFSET;
}

TableResult find_compact_entry(const ImageInfo& image, std::uintptr_t pc, CompactEntry* out) {
    const MemoryRange section = section_range(image.unwind_info);
    if (section.begin == section.end || pc < image.header || pc - image.header > UINT32_MAX)
        return TableResult::kNoEntry;
    const auto pc_offset = static_cast<std::uint32_t>(pc - image.header);
    std::uint32_t version = 0;
    Header header;
    const std::uintptr_t at = section.begin;
    if (!READ_FIELD(section, at, UNWIND_INFO_HEADER, version, &version) ||
        !READ_FIELD(section, at, UNWIND_INFO_HEADER, commonEncodingsArraySectionOffset, &header.common_offset) ||
        !READ_FIELD(section, at, UNWIND_INFO_HEADER, commonEncodingsArrayCount, &header.common_count) ||
        !READ_FIELD(section, at, UNWIND_INFO_HEADER, personalityArraySectionOffset, &header.personality_offset) ||
        !READ_FIELD(section, at, UNWIND_INFO_HEADER, personalityArrayCount, &header.personality_count) ||
        !READ_FIELD(section, at, UNWIND_INFO_HEADER, indexSectionOffset, &header.index_offset) ||
        !READ_FIELD(section, at, UNWIND_INFO_HEADER, indexCount, &header.index_count))
        return corrupt(image, "a header shorter than its fields", pc);
    if (version != MACOS_UNWIND_SECTION_VERSION) return corrupt(image, "a version this unwinder does not read", pc);

    // The index's last entry only closes the range of the one before it.
    auto start_of = [&](std::uint32_t i, std::uint32_t* start) {
        IndexEntry entry;
        if (!read_index_entry(section, header, i, &entry)) return false;
        *start = entry.function_offset;
        return true;
    };
    std::uint32_t i = 0;
    if (header.index_count < 2 || !last_at_or_below(header.index_count, pc_offset, start_of, &i) ||
        i + 1 == header.index_count)
        return TableResult::kNoEntry;
    IndexEntry range, next;
    if (!read_index_entry(section, header, i, &range) || !read_index_entry(section, header, i + 1, &next))
        return corrupt(image, "an index entry outside the section", pc);

    std::uint32_t start = 0, end = 0, encoding = 0;
    const TableResult page = read_page(image, pc, section, header, range, next.function_offset, pc_offset, &start,
                                       &end, &encoding);
    if (page != TableResult::kFound) return page;
    if (pc_offset >= end) return TableResult::kNoEntry;
    *out = CompactEntry{image.header + start, image.header + end, encoding, 0, 0};

    if (const std::uint32_t personality = bits(encoding, MACOS_UNWIND_PERSONALITY_MASK)) {
        // The array holds the image offset of the pointer to the routine.
        std::uint32_t slot_offset = 0;
        const MemoryRange mapped{image.start, image.end};
        if (personality > header.personality_count ||
            !section.read(section.begin + header.personality_offset + std::uintptr_t{personality - 1} * 4, &slot_offset) ||
            !mapped.read(image.header + slot_offset, &out->personality))
            return corrupt(image, "a personality outside the personality array or the image", pc);
    }
    if (encoding & MACOS_UNWIND_HAS_LSDA) return find_lsda(image, pc, section, range, next, start, &out->lsda);
    return TableResult::kFound;
}

namespace {

// A register number of the compact encodings as the unwinder numbers it;
// false for none or one the encodings do not define.
bool compact_register(std::uint32_t number, unsigned* out) {
    switch (number) {
        case MACOS_UNWIND_X86_64_REG_RBX: *out = kRbx; return true;
        case MACOS_UNWIND_X86_64_REG_R12: *out = kR12; return true;
        case MACOS_UNWIND_X86_64_REG_R13: *out = kR13; return true;
        case MACOS_UNWIND_X86_64_REG_R14: *out = kR14; return true;
        case MACOS_UNWIND_X86_64_REG_R15: *out = kR15; return true;
        case MACOS_UNWIND_X86_64_REG_RBP: *out = kRbp; return true;
        default: return false;
    }
}

StepResult stack_fault(const ImageInfo& image, const CompactEntry& entry, const char* what) {
    report_unwind_fault("%s: function at 0x%lx (encoding 0x%08x): %s", image.path.c_str(),
                        static_cast<unsigned long>(entry.start - image.header), entry.encoding, what);
    return StepResult::kFailed;
}

// Restores COUNT registers saved at consecutive words from SAVED.
bool restore_saved(const MemoryRange& stack, std::uintptr_t saved, const unsigned* order, std::uint32_t count,
                   Registers* registers) {
    for (std::uint32_t i = 0; i < count; ++i, saved += kWord)
        if (!stack.read(saved, &registers->value[order[i]])) return false;
    return true;
}

// The registers a frameless function pushed, lowest address first, from
// the permutation's Lehmer code: digit k picks among the 6 - k numbers not
// yet taken, and weighs the product of the later digits' ranges.
bool frameless_order(std::uint32_t count, std::uint32_t permutation, unsigned* order) {
    constexpr std::uint32_t kNumbers = 6;
    if (count > kNumbers) return false;
    bool taken[kNumbers + 1] = {};
    for (std::uint32_t k = 0; k < count; ++k) {
        std::uint32_t weight = 1;
        for (std::uint32_t j = k + 1; j < count; ++j) weight *= kNumbers - j;
        const std::uint32_t digit = permutation / weight;
        permutation %= weight;
        if (digit >= kNumbers - k) return false;
        std::uint32_t number = 0;
        for (std::uint32_t skip = digit + 1; skip > 0;)
            if (!taken[++number]) --skip;
        taken[number] = true;
        if (!compact_register(number, &order[k])) return false;
    }
    return true;
}

}  // namespace

StepResult step_compact(const ImageInfo& image, const CompactEntry& entry, const MemoryRange& stack,
                        Registers* registers) {
    const std::uint32_t encoding = entry.encoding;
    const std::uint32_t mode = encoding & MACOS_UNWIND_X86_64_MODE_MASK;
    std::uint64_t* value = registers->value;
    if (mode == MACOS_UNWIND_X86_64_MODE_RBP_FRAME) {
        // push rbp; mov rsp, rbp; the saved registers below rbp.
        const std::uint64_t rbp = value[kRbp];
        const std::uint32_t saved_bits = bits(encoding, MACOS_UNWIND_X86_64_RBP_FRAME_REGISTERS);
        std::uintptr_t saved = rbp - std::uintptr_t{bits(encoding, MACOS_UNWIND_X86_64_RBP_FRAME_OFFSET)} * kWord;
        for (int slot = 0; slot < 5; ++slot, saved += kWord) {
            const std::uint32_t number = (saved_bits >> (3 * slot)) & 7;
            unsigned reg = 0;
            if (number == MACOS_UNWIND_X86_64_REG_NONE) continue;
            if (!compact_register(number, &reg)) return stack_fault(image, entry, "an unknown saved register");
            if (!stack.read(saved, &value[reg])) return stack_fault(image, entry, "a saved register off the stack");
        }
        if (!stack.read(rbp, &value[kRbp]) || !stack.read(rbp + kWord, &value[kReturnAddress]))
            return stack_fault(image, entry, "rbp off the stack");
        value[kRsp] = rbp + 2 * kWord;
        return StepResult::kStepped;
    }
    if (mode != MACOS_UNWIND_X86_64_MODE_STACK_IMMD && mode != MACOS_UNWIND_X86_64_MODE_STACK_IND)
        return stack_fault(image, entry, "a mode this unwinder does not read");
    // Frameless: the saved registers just below the return address, the
    // stack size (return address included) in the encoding or in the
    // function's own "subq $size, %rsp" at the encoded offset.
    std::uint64_t stack_size = std::uint64_t{bits(encoding, MACOS_UNWIND_X86_64_FRAMELESS_STACK_SIZE)} * kWord;
    if (mode == MACOS_UNWIND_X86_64_MODE_STACK_IND) {
        std::uint32_t immediate = 0;
        const MemoryRange text{image.text_start, image.text_end};
        if (!text.read(entry.start + bits(encoding, MACOS_UNWIND_X86_64_FRAMELESS_STACK_SIZE), &immediate))
            return stack_fault(image, entry, "its stack size outside the text");
        stack_size = immediate + std::uint64_t{bits(encoding, MACOS_UNWIND_X86_64_FRAMELESS_STACK_ADJUST)} * kWord;
    }
    const std::uint32_t count = bits(encoding, MACOS_UNWIND_X86_64_FRAMELESS_STACK_REG_COUNT);
    unsigned order[6];
    if (!frameless_order(count, bits(encoding, MACOS_UNWIND_X86_64_FRAMELESS_STACK_REG_PERMUTATION), order))
        return stack_fault(image, entry, "a register permutation that names no registers");
    if (stack_size < kWord * (count + 1)) return stack_fault(image, entry, "a stack smaller than what it saves");
    const std::uintptr_t return_slot = value[kRsp] + stack_size - kWord;
    if (!restore_saved(stack, return_slot - kWord * count, order, count, registers) ||
        !stack.read(return_slot, &value[kReturnAddress]))
        return stack_fault(image, entry, "its frame off the stack");
    value[kRsp] = return_slot + kWord;
    return StepResult::kStepped;
}

}  // namespace macos
