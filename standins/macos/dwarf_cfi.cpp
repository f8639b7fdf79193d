// Reading __eh_frame and interpreting CFA programs. The DWARF numbers below
// (pointer encodings, call frame instructions) are the DWARF standard's and
// the x86-64 psABI's, the same on every system.
#include "standins/macos/dwarf_cfi.h"

#include <cstring>

namespace macos {
namespace {

// Pointer encodings of the CIE augmentation: a format in the low nibble,
// how it applies above it, and "indirect" in the top bit.
constexpr std::uint8_t kPointerOmit = 0xff;
constexpr std::uint8_t kPointerFormatMask = 0x0f;
constexpr std::uint8_t kPointerAbsolute = 0x00, kPointerUleb = 0x01, kPointerUdata2 = 0x02,
                       kPointerUdata4 = 0x03, kPointerUdata8 = 0x04, kPointerSleb = 0x09,
                       kPointerSdata2 = 0x0a, kPointerSdata4 = 0x0b, kPointerSdata8 = 0x0c;
constexpr std::uint8_t kPointerApplicationMask = 0x70;
constexpr std::uint8_t kPointerPcRelative = 0x10;
constexpr std::uint8_t kPointerIndirect = 0x80;

// Call frame instructions.
enum : std::uint8_t {
    kCfaNop = 0x00, kCfaAdvanceLoc1 = 0x02, kCfaAdvanceLoc2 = 0x03, kCfaAdvanceLoc4 = 0x04,
    kCfaOffsetExtended = 0x05, kCfaRestoreExtended = 0x06, kCfaUndefined = 0x07, kCfaSameValue = 0x08,
    kCfaRegister = 0x09, kCfaRememberState = 0x0a, kCfaRestoreState = 0x0b, kCfaDefCfa = 0x0c,
    kCfaDefCfaRegister = 0x0d, kCfaDefCfaOffset = 0x0e, kCfaOffsetExtendedSf = 0x11, kCfaGnuArgsSize = 0x2e,
    // In the top two bits, with an operand in the low six:
    kCfaPrimaryMask = 0xc0, kCfaAdvanceLoc = 0x40, kCfaOffset = 0x80, kCfaRestore = 0xc0,
};
constexpr unsigned kRememberDepth = 8;

// Reads forward through [at, end) of a section, failing (and staying
// failed) at the first read past either.
class Cursor {
public:
    Cursor(const MemoryRange& section, std::uintptr_t at, std::uintptr_t end)
        : range_{section.begin, end <= section.end ? end : section.end}, at_(at) {}

    std::uintptr_t at() const { return at_; }
    bool ok() const { return ok_; }
    bool done() const { return !ok_ || at_ >= range_.end; }

    template <typename T>
    T fixed() {
        T value{};
        if (ok_ && range_.read(at_, &value)) at_ += sizeof(T);
        else ok_ = false;
        return value;
    }
    std::uint64_t uleb() {
        std::uint64_t value = 0;
        for (unsigned shift = 0;; shift += 7) {
            const auto byte = fixed<std::uint8_t>();
            if (!ok_ || shift > 63) return ok_ = false, 0;
            value |= std::uint64_t{byte & 0x7fu} << shift;
            if (!(byte & 0x80)) return value;
        }
    }
    std::int64_t sleb() {
        std::uint64_t value = 0;
        for (unsigned shift = 0;; shift += 7) {
            const auto byte = fixed<std::uint8_t>();
            if (!ok_ || shift > 63) return ok_ = false, 0;
            value |= std::uint64_t{byte & 0x7fu} << shift;
            if (!(byte & 0x80)) {
                if (shift + 7 < 64 && (byte & 0x40)) value |= ~std::uint64_t{0} << (shift + 7);
                return static_cast<std::int64_t>(value);
            }
        }
    }
    // A value in an encoding's format, before it applies; false for an
    // unknown format.
    bool raw(std::uint8_t encoding, std::uint64_t* out) {
        switch (encoding & kPointerFormatMask) {
            case kPointerAbsolute:
            case kPointerUdata8: *out = fixed<std::uint64_t>(); break;
            case kPointerSdata8: *out = static_cast<std::uint64_t>(fixed<std::int64_t>()); break;
            case kPointerUleb: *out = uleb(); break;
            case kPointerSleb: *out = static_cast<std::uint64_t>(sleb()); break;
            case kPointerUdata2: *out = fixed<std::uint16_t>(); break;
            case kPointerSdata2: *out = static_cast<std::uint64_t>(std::int64_t{fixed<std::int16_t>()}); break;
            case kPointerUdata4: *out = fixed<std::uint32_t>(); break;
            case kPointerSdata4: *out = static_cast<std::uint64_t>(std::int64_t{fixed<std::int32_t>()}); break;
            default: return false;
        }
        return ok_;
    }
    void skip_to(std::uintptr_t at) {
        if (at < at_ || at > range_.end) ok_ = false;
        else at_ = at;
    }

private:
    MemoryRange range_;
    std::uintptr_t at_;
    bool ok_ = true;
};

struct Reader {
    const ImageInfo& image;
    MemoryRange section;
    std::uintptr_t pc;

    bool fault(const char* what, unsigned value = 0) const {
        report_unwind_fault("%s: __eh_frame: %s 0x%x (looking up pc 0x%lx)", image.path.c_str(), what, value,
                            static_cast<unsigned long>(pc - image.header));
        return false;
    }

    // A pointer of the augmentation: read in its format, made relative to
    // its own address for pcrel, read through for indirect.
    bool pointer(Cursor& cursor, std::uint8_t encoding, std::uintptr_t* out) const {
        const std::uintptr_t field = cursor.at();
        std::uint64_t value = 0;
        if (!cursor.raw(encoding, &value)) return fault("a pointer of an unknown format or past its record", encoding);
        switch (encoding & kPointerApplicationMask) {
            case 0: break;
            case kPointerPcRelative: value += field; break;
            default: return fault("a pointer encoding this unwinder does not read", encoding);
        }
        if (encoding & kPointerIndirect) {
            const MemoryRange mapped{image.start, image.end};
            if (!mapped.read(value, out)) return fault("an indirect pointer outside the image", encoding);
            return true;
        }
        *out = value;
        return true;
    }

    // The CIE at ADDRESS: alignment factors, return column, augmentation,
    // its initial program; FDE_ENCODING and LSDA_ENCODING for its FDEs.
    bool cie(std::uintptr_t address, DwarfEntry* out, std::uint8_t* fde_encoding, std::uint8_t* lsda_encoding,
             bool* augmented) const {
        Cursor cursor(section, address, section.end);
        const auto length = cursor.fixed<std::uint32_t>();
        if (!cursor.ok() || length == 0 || length == UINT32_MAX) return fault("a CIE of length", length);
        const std::uintptr_t end = cursor.at() + length;
        cursor = Cursor(section, cursor.at(), end);
        if (end > section.end) return fault("a CIE past the section, length", length);
        const auto id = cursor.fixed<std::uint32_t>();
        const auto version = cursor.fixed<std::uint8_t>();
        if (id != 0 || (version != 1 && version != 3)) return fault("not a CIE of version 1 or 3: version", version);
        char augmentation[8] = {};
        for (std::size_t i = 0;; ++i) {
            const auto c = cursor.fixed<char>();
            if (!cursor.ok() || i == sizeof augmentation) return fault("a CIE augmentation too long at", unsigned(i));
            if ((augmentation[i] = c) == '\0') break;
        }
        out->code_alignment = cursor.uleb();
        out->data_alignment = cursor.sleb();
        out->return_column = version == 1 ? cursor.fixed<std::uint8_t>() : static_cast<unsigned>(cursor.uleb());
        *fde_encoding = kPointerAbsolute;
        *lsda_encoding = kPointerOmit;
        *augmented = augmentation[0] == 'z';
        if (*augmented) {
            const std::uint64_t data_length = cursor.uleb();
            const std::uintptr_t data_end = cursor.at() + data_length;
            for (const char* c = augmentation + 1; *c != '\0'; ++c) {
                if (*c == 'R') *fde_encoding = cursor.fixed<std::uint8_t>();
                else if (*c == 'L') *lsda_encoding = cursor.fixed<std::uint8_t>();
                else if (*c == 'P') {
                    const auto encoding = cursor.fixed<std::uint8_t>();
                    if (!pointer(cursor, encoding, &out->personality)) return false;
                } else return fault("a CIE augmentation this unwinder does not read:", unsigned(*c));
            }
            cursor.skip_to(data_end);
        } else if (augmentation[0] != '\0') {
            return fault("a CIE augmentation this unwinder does not read:", unsigned(augmentation[0]));
        }
        if (!cursor.ok() || out->return_column >= kRegisterCount || out->code_alignment == 0)
            return fault("a CIE past its length or with return column", out->return_column);
        out->cie_program = cursor.at();
        out->cie_program_end = end;
        return true;
    }
};

}  // namespace

TableResult read_fde(const ImageInfo& image, std::uint32_t fde_offset, std::uintptr_t pc, DwarfEntry* out) {
    const auto begin = reinterpret_cast<std::uintptr_t>(image.eh_frame.data);
    const Reader reader{image, {begin, begin + image.eh_frame.size}, pc};
    Cursor cursor(reader.section, begin + fde_offset, reader.section.end);
    const auto length = cursor.fixed<std::uint32_t>();
    const std::uintptr_t cie_field = cursor.at();
    const auto cie_pointer = cursor.fixed<std::uint32_t>();
    if (!cursor.ok() || length == UINT32_MAX || length < 4 || cie_pointer == 0 || cie_pointer > cie_field - begin ||
        cie_field + length > reader.section.end) {
        reader.fault("no FDE at offset", fde_offset);
        return TableResult::kCorrupt;
    }
    cursor = Cursor(reader.section, cursor.at(), cie_field + length);
    DwarfEntry entry;
    std::uint8_t fde_encoding = 0, lsda_encoding = 0;
    bool augmented = false;
    if (!reader.cie(cie_field - cie_pointer, &entry, &fde_encoding, &lsda_encoding, &augmented))
        return TableResult::kCorrupt;
    std::uint64_t range = 0;
    if (!reader.pointer(cursor, fde_encoding, &entry.start) || !cursor.raw(fde_encoding, &range)) {
        reader.fault("an FDE's range past its record at offset", fde_offset);
        return TableResult::kCorrupt;
    }
    entry.end = entry.start + range;
    if (augmented) {
        const std::uint64_t data_length = cursor.uleb();
        const std::uintptr_t data_end = cursor.at() + data_length;
        if (lsda_encoding != kPointerOmit) {
            // A null LSDA reads as zero in the pointer's format.
            Cursor peek = cursor;
            std::uint64_t raw = 0;
            if (peek.raw(lsda_encoding, &raw) && raw != 0 && !reader.pointer(cursor, lsda_encoding, &entry.lsda))
                return TableResult::kCorrupt;
        }
        cursor.skip_to(data_end);
    }
    if (!cursor.ok()) {
        reader.fault("an FDE's augmentation past its record at offset", fde_offset);
        return TableResult::kCorrupt;
    }
    entry.fde_program = cursor.at();
    entry.fde_program_end = cie_field + length;
    if (pc < entry.start || pc >= entry.end) {
        reader.fault("an FDE that does not cover the pc, at offset", fde_offset);
        return TableResult::kCorrupt;
    }
    const MemoryRange mapped{image.start, image.end};
    if (entry.lsda != 0 && !mapped.contains(entry.lsda, 1)) {
        reader.fault("an LSDA outside the image, FDE at offset", fde_offset);
        return TableResult::kCorrupt;
    }
    *out = entry;
    return TableResult::kFound;
}

namespace {

struct Rule {
    enum Kind : std::uint8_t { kSame, kUndefined, kOffset, kInRegister } kind = kSame;
    std::int64_t operand = 0;  // the CFA offset, or the register
};

struct Row {
    unsigned cfa_register = kRsp;
    std::int64_t cfa_offset = 0;
    Rule rules[kRegisterCount];
    std::uint64_t args_size = 0;
};

struct Interpreter {
    const ImageInfo& image;
    const DwarfEntry& entry;
    std::uintptr_t pc;
    MemoryRange section;

    bool fault(const char* what, unsigned value) const {
        report_unwind_fault("%s: __eh_frame: CFA program of the function at 0x%lx: %s 0x%x", image.path.c_str(),
                            static_cast<unsigned long>(entry.start - image.header), what, value);
        return false;
    }

    // Runs [at, end) into ROW, stopping at the first row past pc. INITIAL is
    // the CIE's row that DW_CFA_restore returns a register to.
    bool run(std::uintptr_t at, std::uintptr_t end, Row* row, const Row& initial) const {
        Cursor cursor(section, at, end);
        Row remembered[kRememberDepth];
        unsigned depth = 0;
        std::uintptr_t location = entry.start;
        auto advance = [&](std::uint64_t delta) {
            location += delta * entry.code_alignment;
            return location <= pc;
        };
        auto rule = [&](std::uint64_t reg, Rule value) {
            if (reg >= kRegisterCount) return fault("a rule for a register it does not track:", unsigned(reg));
            row->rules[reg] = value;
            return true;
        };
        while (!cursor.done()) {
            const auto op = cursor.fixed<std::uint8_t>();
            const std::uint8_t low = op & static_cast<std::uint8_t>(~kCfaPrimaryMask);
            bool ok = true;
            switch (op & kCfaPrimaryMask) {
                case kCfaAdvanceLoc:
                    if (!advance(low)) return true;
                    continue;
                case kCfaOffset:
                    ok = rule(low, {Rule::kOffset, static_cast<std::int64_t>(cursor.uleb()) * entry.data_alignment});
                    break;
                case kCfaRestore: ok = rule(low, initial.rules[low < kRegisterCount ? low : 0]); break;
                default:
                    switch (op) {
                        case kCfaNop: break;
                        case kCfaAdvanceLoc1: if (!advance(cursor.fixed<std::uint8_t>())) return cursor.ok(); break;
                        case kCfaAdvanceLoc2: if (!advance(cursor.fixed<std::uint16_t>())) return cursor.ok(); break;
                        case kCfaAdvanceLoc4: if (!advance(cursor.fixed<std::uint32_t>())) return cursor.ok(); break;
                        case kCfaOffsetExtended: {
                            const std::uint64_t reg = cursor.uleb();
                            ok = rule(reg, {Rule::kOffset, static_cast<std::int64_t>(cursor.uleb()) * entry.data_alignment});
                            break;
                        }
                        case kCfaOffsetExtendedSf: {
                            const std::uint64_t reg = cursor.uleb();
                            ok = rule(reg, {Rule::kOffset, cursor.sleb() * entry.data_alignment});
                            break;
                        }
                        case kCfaRestoreExtended: {
                            const std::uint64_t reg = cursor.uleb();
                            ok = rule(reg, initial.rules[reg < kRegisterCount ? reg : 0]);
                            break;
                        }
                        case kCfaUndefined: ok = rule(cursor.uleb(), {Rule::kUndefined, 0}); break;
                        case kCfaSameValue: ok = rule(cursor.uleb(), {Rule::kSame, 0}); break;
                        case kCfaRegister: {
                            const std::uint64_t reg = cursor.uleb(), from = cursor.uleb();
                            ok = from < kRegisterCount ? rule(reg, {Rule::kInRegister, static_cast<std::int64_t>(from)})
                                                       : fault("a register it does not track:", unsigned(from));
                            break;
                        }
                        case kCfaRememberState:
                            if (depth == kRememberDepth) return fault("remember_state nested deeper than", depth);
                            remembered[depth++] = *row;
                            break;
                        case kCfaRestoreState:
                            if (depth == 0) return fault("restore_state with nothing remembered at", unsigned(location - entry.start));
                            *row = remembered[--depth];
                            break;
                        case kCfaDefCfa:
                            row->cfa_register = static_cast<unsigned>(cursor.uleb());
                            row->cfa_offset = static_cast<std::int64_t>(cursor.uleb());
                            break;
                        case kCfaDefCfaRegister: row->cfa_register = static_cast<unsigned>(cursor.uleb()); break;
                        case kCfaDefCfaOffset: row->cfa_offset = static_cast<std::int64_t>(cursor.uleb()); break;
                        case kCfaGnuArgsSize: row->args_size = cursor.uleb(); break;
                        default: return fault("an instruction this unwinder does not interpret: opcode", op);
                    }
            }
            if (!ok) return false;
            if (row->cfa_register >= kRegisterCount) return fault("a CFA in a register it does not track:", row->cfa_register);
        }
        return cursor.ok() || fault("an instruction past the end of its record at", unsigned(location - entry.start));
    }
};

}  // namespace

StepResult step_dwarf(const ImageInfo& image, const DwarfEntry& entry, std::uintptr_t pc, const MemoryRange& stack,
                      Registers* registers, std::uint64_t* args_size) {
    const auto begin = reinterpret_cast<std::uintptr_t>(image.eh_frame.data);
    const Interpreter interpreter{image, entry, pc, {begin, begin + image.eh_frame.size}};
    Row initial;
    if (!interpreter.run(entry.cie_program, entry.cie_program_end, &initial, initial)) return StepResult::kFailed;
    Row row = initial;
    if (!interpreter.run(entry.fde_program, entry.fde_program_end, &row, initial)) return StepResult::kFailed;

    const Registers frame = *registers;
    const std::uint64_t cfa = frame.value[row.cfa_register] + static_cast<std::uint64_t>(row.cfa_offset);
    const Rule return_rule = row.rules[entry.return_column];
    if (return_rule.kind == Rule::kUndefined) return StepResult::kEndOfStack;
    if (return_rule.kind == Rule::kSame) {
        interpreter.fault("no rule for the return address, column", entry.return_column);
        return StepResult::kFailed;
    }
    for (unsigned reg = 0; reg < kRegisterCount; ++reg) {
        const Rule& rule = row.rules[reg];
        if (rule.kind == Rule::kOffset && !stack.read(cfa + static_cast<std::uint64_t>(rule.operand), &registers->value[reg])) {
            interpreter.fault("a register saved off the stack:", reg);
            return StepResult::kFailed;
        }
        if (rule.kind == Rule::kInRegister) registers->value[reg] = frame.value[rule.operand];
    }
    registers->value[kReturnAddress] = registers->value[entry.return_column];
    registers->value[kRsp] = cfa;
    *args_size = row.args_size;
    return StepResult::kStepped;
}

}  // namespace macos
