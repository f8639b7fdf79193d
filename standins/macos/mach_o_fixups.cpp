// Decoding the rebase and bind opcode streams of dyld info.
#include "standins/macos/mach_o_fixups.h"

#include <cstdio>

#include "macos_abi/macho_abi.h"
#include "standins/macos/mach_o_reader.h"

namespace macos {
namespace {

constexpr std::uint64_t kPointerSize = 8;

bool fail(std::string* error, std::string text) {
    *error = std::move(text);
    return false;
}

std::string opcode_text(const char* stream, std::uint8_t byte, std::size_t at) {
    char text[96];
    std::snprintf(text, sizeof text, "%s opcode 0x%02x at offset %zu is not supported", stream, byte, at);
    return text;
}

bool in_segment(const FixupLocation& at, const std::vector<std::uint64_t>& sizes) {
    return at.segment < sizes.size() && fits(at.offset, kPointerSize, sizes[at.segment]);
}

std::string outside(const char* stream, bool have_segment, const FixupLocation& at) {
    if (!have_segment) return std::string(stream) + " information fixes a pointer before naming its segment";
    return std::string(stream) + " location " + std::to_string(at.offset) + " in segment " +
           std::to_string(at.segment) + " lies outside it";
}

}  // namespace

bool decode_rebases(const std::uint8_t* opcodes, std::size_t size,
                    const std::vector<std::uint64_t>& segment_sizes,
                    const std::function<void(const FixupLocation&)>& rebase, std::string* error) {
    ByteReader in(opcodes, size);
    FixupLocation at;
    bool have_segment = false;
    auto step = [&](std::uint64_t skip) -> bool {
        if (!have_segment || !in_segment(at, segment_sizes)) return fail(error, outside("rebase", have_segment, at));
        rebase(at);
        at.offset += skip + kPointerSize;
        return true;
    };
    while (!in.at_end()) {
        const std::size_t where = in.offset();
        std::uint8_t byte = 0;
        in.byte(&byte);
        const std::uint8_t immediate = byte & MACOS_REBASE_IMMEDIATE_MASK;
        std::uint64_t count = 0, skip = 0;
        switch (byte & MACOS_REBASE_OPCODE_MASK) {
            case MACOS_REBASE_OPCODE_DONE:
                return true;
            case MACOS_REBASE_OPCODE_SET_TYPE_IMM:
                if (immediate != MACOS_REBASE_TYPE_POINTER)
                    return fail(error, "rebase type " + std::to_string(immediate) + " is not supported");
                break;
            case MACOS_REBASE_OPCODE_SET_SEGMENT_AND_OFFSET_ULEB:
                at.segment = immediate;
                have_segment = true;
                if (!in.uleb(&at.offset)) return fail(error, "rebase information cut short");
                break;
            case MACOS_REBASE_OPCODE_ADD_ADDR_ULEB:
                if (!in.uleb(&skip)) return fail(error, "rebase information cut short");
                at.offset += skip;
                break;
            case MACOS_REBASE_OPCODE_ADD_ADDR_IMM_SCALED:
                at.offset += immediate * kPointerSize;
                break;
            case MACOS_REBASE_OPCODE_DO_REBASE_IMM_TIMES:
                for (unsigned i = 0; i < immediate; ++i)
                    if (!step(0)) return false;
                break;
            case MACOS_REBASE_OPCODE_DO_REBASE_ULEB_TIMES:
                if (!in.uleb(&count)) return fail(error, "rebase information cut short");
                for (std::uint64_t i = 0; i < count; ++i)
                    if (!step(0)) return false;
                break;
            case MACOS_REBASE_OPCODE_DO_REBASE_ADD_ADDR_ULEB:
                if (!in.uleb(&skip)) return fail(error, "rebase information cut short");
                if (!step(skip)) return false;
                break;
            case MACOS_REBASE_OPCODE_DO_REBASE_ULEB_TIMES_SKIPPING_ULEB:
                if (!in.uleb(&count) || !in.uleb(&skip)) return fail(error, "rebase information cut short");
                for (std::uint64_t i = 0; i < count; ++i)
                    if (!step(skip)) return false;
                break;
            default:
                return fail(error, opcode_text("rebase", byte, where));
        }
    }
    return true;
}

bool decode_binds(const std::uint8_t* opcodes, std::size_t size, BindStream stream,
                  const std::vector<std::uint64_t>& segment_sizes,
                  const std::function<void(const BindSite&)>& bind, std::string* error) {
    const char* name = stream == BindStream::lazy ? "lazy bind" : stream == BindStream::weak ? "weak bind" : "bind";
    ByteReader in(opcodes, size);
    BindSite site;
    bool have_segment = false;
    bool have_symbol = false;
    auto step = [&](std::uint64_t skip) -> bool {
        if (!have_segment || !in_segment(site.location, segment_sizes))
            return fail(error, outside(name, have_segment, site.location));
        if (!have_symbol) return fail(error, std::string(name) + " information binds no symbol");
        bind(site);
        site.location.offset += skip + kPointerSize;
        return true;
    };
    auto cut_short = [&] { return fail(error, std::string(name) + " information cut short"); };
    while (!in.at_end()) {
        const std::size_t where = in.offset();
        std::uint8_t byte = 0;
        in.byte(&byte);
        const std::uint8_t immediate = byte & MACOS_BIND_IMMEDIATE_MASK;
        std::uint64_t value = 0, count = 0;
        switch (byte & MACOS_BIND_OPCODE_MASK) {
            case MACOS_BIND_OPCODE_DONE:
                // The lazy stream ends each symbol's entry with DONE.
                if (stream != BindStream::lazy) return true;
                break;
            case MACOS_BIND_OPCODE_SET_DYLIB_ORDINAL_IMM:
                site.ordinal = immediate;
                break;
            case MACOS_BIND_OPCODE_SET_DYLIB_ORDINAL_ULEB:
                if (!in.uleb(&value) || value > INT32_MAX) return cut_short();
                site.ordinal = static_cast<std::int64_t>(value);
                break;
            case MACOS_BIND_OPCODE_SET_DYLIB_SPECIAL_IMM:
                // The special ordinals are small negative numbers, sign-extended from the opcode byte.
                site.ordinal = immediate == 0 ? 0 : static_cast<std::int8_t>(MACOS_BIND_OPCODE_MASK | immediate);
                break;
            case MACOS_BIND_OPCODE_SET_SYMBOL_TRAILING_FLAGS_IMM:
                if (!in.cstring(&site.symbol)) return cut_short();
                site.weak_import = (immediate & MACOS_BIND_SYMBOL_FLAGS_WEAK_IMPORT) != 0;
                site.non_weak_definition = (immediate & MACOS_BIND_SYMBOL_FLAGS_NON_WEAK_DEFINITION) != 0;
                have_symbol = true;
                break;
            case MACOS_BIND_OPCODE_SET_TYPE_IMM:
                if (immediate != MACOS_BIND_TYPE_POINTER)
                    return fail(error, std::string(name) + " type " + std::to_string(immediate) + " is not supported");
                break;
            case MACOS_BIND_OPCODE_SET_ADDEND_SLEB:
                if (!in.sleb(&site.addend)) return cut_short();
                break;
            case MACOS_BIND_OPCODE_SET_SEGMENT_AND_OFFSET_ULEB:
                site.location.segment = immediate;
                have_segment = true;
                if (!in.uleb(&site.location.offset)) return cut_short();
                break;
            case MACOS_BIND_OPCODE_ADD_ADDR_ULEB:
                if (!in.uleb(&value)) return cut_short();
                site.location.offset += value;
                break;
            case MACOS_BIND_OPCODE_DO_BIND:
                if (!step(0)) return false;
                break;
            case MACOS_BIND_OPCODE_DO_BIND_ADD_ADDR_ULEB:
                if (!in.uleb(&value)) return cut_short();
                if (!step(value)) return false;
                break;
            case MACOS_BIND_OPCODE_DO_BIND_ADD_ADDR_IMM_SCALED:
                if (!step(immediate * kPointerSize)) return false;
                break;
            case MACOS_BIND_OPCODE_DO_BIND_ULEB_TIMES_SKIPPING_ULEB:
                if (!in.uleb(&count) || !in.uleb(&value)) return cut_short();
                for (std::uint64_t i = 0; i < count; ++i)
                    if (!step(value)) return false;
                break;
            default:
                return fail(error, opcode_text(name, byte, where));
        }
    }
    return true;
}

}  // namespace macos
