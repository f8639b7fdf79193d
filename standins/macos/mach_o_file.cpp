// Reading the header and load commands of an x86-64 Mach-O dylib. The file's
// structures are mirrored here and held to the macOS headers' layouts.
#include "standins/macos/mach_o_file.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "macos_abi/macho_abi.h"
#include "mach_o_names.h"
#include "standins/macos/mach_o_reader.h"

namespace macos {
namespace {

struct MachHeader64 {
    std::uint32_t magic;
    std::int32_t cputype;
    std::int32_t cpusubtype;
    std::uint32_t filetype;
    std::uint32_t ncmds;
    std::uint32_t sizeofcmds;
    std::uint32_t flags;
    std::uint32_t reserved;
};

struct LoadCommand {
    std::uint32_t cmd;
    std::uint32_t cmdsize;
};

struct SegmentCommand64 {
    std::uint32_t cmd;
    std::uint32_t cmdsize;
    char segname[16];
    std::uint64_t vmaddr;
    std::uint64_t vmsize;
    std::uint64_t fileoff;
    std::uint64_t filesize;
    std::int32_t maxprot;
    std::int32_t initprot;
    std::uint32_t nsects;
    std::uint32_t flags;
};

struct Section64 {
    char sectname[16];
    char segname[16];
    std::uint64_t addr;
    std::uint64_t size;
    std::uint32_t offset;
    std::uint32_t align;
    std::uint32_t reloff;
    std::uint32_t nreloc;
    std::uint32_t flags;
    std::uint32_t reserved1;
    std::uint32_t reserved2;
    std::uint32_t reserved3;
};

struct DyldInfoCommand {
    std::uint32_t cmd;
    std::uint32_t cmdsize;
    std::uint32_t rebase_off;
    std::uint32_t rebase_size;
    std::uint32_t bind_off;
    std::uint32_t bind_size;
    std::uint32_t weak_bind_off;
    std::uint32_t weak_bind_size;
    std::uint32_t lazy_bind_off;
    std::uint32_t lazy_bind_size;
    std::uint32_t export_off;
    std::uint32_t export_size;
};

#define HOLD(Type, LABEL, member)                                              \
    static_assert(offsetof(Type, member) == MACOS_OFFSETOF_##LABEL##_##member && \
                      sizeof(Type::member) == MACOS_SIZEOF_##LABEL##_##member,   \
                  #Type "::" #member " is not where the macOS headers put it")
static_assert(sizeof(MachHeader64) == MACOS_SIZEOF_MACH_HEADER_64);
HOLD(MachHeader64, MACH_HEADER_64, magic);
HOLD(MachHeader64, MACH_HEADER_64, cputype);
HOLD(MachHeader64, MACH_HEADER_64, cpusubtype);
HOLD(MachHeader64, MACH_HEADER_64, filetype);
HOLD(MachHeader64, MACH_HEADER_64, ncmds);
HOLD(MachHeader64, MACH_HEADER_64, sizeofcmds);
HOLD(MachHeader64, MACH_HEADER_64, flags);
HOLD(MachHeader64, MACH_HEADER_64, reserved);
static_assert(sizeof(LoadCommand) == MACOS_SIZEOF_LOAD_COMMAND);
HOLD(LoadCommand, LOAD_COMMAND, cmd);
HOLD(LoadCommand, LOAD_COMMAND, cmdsize);
static_assert(sizeof(SegmentCommand64) == MACOS_SIZEOF_SEGMENT_COMMAND_64);
HOLD(SegmentCommand64, SEGMENT_COMMAND_64, cmd);
HOLD(SegmentCommand64, SEGMENT_COMMAND_64, cmdsize);
HOLD(SegmentCommand64, SEGMENT_COMMAND_64, segname);
HOLD(SegmentCommand64, SEGMENT_COMMAND_64, vmaddr);
HOLD(SegmentCommand64, SEGMENT_COMMAND_64, vmsize);
HOLD(SegmentCommand64, SEGMENT_COMMAND_64, fileoff);
HOLD(SegmentCommand64, SEGMENT_COMMAND_64, filesize);
HOLD(SegmentCommand64, SEGMENT_COMMAND_64, maxprot);
HOLD(SegmentCommand64, SEGMENT_COMMAND_64, initprot);
HOLD(SegmentCommand64, SEGMENT_COMMAND_64, nsects);
HOLD(SegmentCommand64, SEGMENT_COMMAND_64, flags);
static_assert(sizeof(Section64) == MACOS_SIZEOF_SECTION_64);
HOLD(Section64, SECTION_64, sectname);
HOLD(Section64, SECTION_64, segname);
HOLD(Section64, SECTION_64, addr);
HOLD(Section64, SECTION_64, size);
HOLD(Section64, SECTION_64, offset);
HOLD(Section64, SECTION_64, align);
HOLD(Section64, SECTION_64, reloff);
HOLD(Section64, SECTION_64, nreloc);
HOLD(Section64, SECTION_64, flags);
HOLD(Section64, SECTION_64, reserved1);
HOLD(Section64, SECTION_64, reserved2);
HOLD(Section64, SECTION_64, reserved3);
static_assert(sizeof(DyldInfoCommand) == MACOS_SIZEOF_DYLD_INFO_COMMAND);
HOLD(DyldInfoCommand, DYLD_INFO_COMMAND, rebase_off);
HOLD(DyldInfoCommand, DYLD_INFO_COMMAND, rebase_size);
HOLD(DyldInfoCommand, DYLD_INFO_COMMAND, bind_off);
HOLD(DyldInfoCommand, DYLD_INFO_COMMAND, bind_size);
HOLD(DyldInfoCommand, DYLD_INFO_COMMAND, weak_bind_off);
HOLD(DyldInfoCommand, DYLD_INFO_COMMAND, weak_bind_size);
HOLD(DyldInfoCommand, DYLD_INFO_COMMAND, lazy_bind_off);
HOLD(DyldInfoCommand, DYLD_INFO_COMMAND, lazy_bind_size);
HOLD(DyldInfoCommand, DYLD_INFO_COMMAND, export_off);
HOLD(DyldInfoCommand, DYLD_INFO_COMMAND, export_size);
#undef HOLD
static_assert(MACOS_SIZEOF_DYLIB_COMMAND_NAME_OFFSET == sizeof(std::uint32_t));

struct Named {
    long long value;
    const char* name;
};
#define NAMED(name) {MACOS_##name, #name},
constexpr Named kLoadCommands[] = {MACH_O_LOAD_COMMANDS(NAMED)};
constexpr Named kCpuTypes[] = {MACH_O_CPU_TYPES(NAMED)};
#undef NAMED

std::string name_of(const Named* begin, const Named* end, long long value, const char* what) {
    for (const Named* n = begin; n != end; ++n)
        if (n->value == value) return n->name;
    char text[64];
    std::snprintf(text, sizeof text, "%s%s0x%llx", what ? what : "", what ? " " : "", value);
    return text;
}

template <std::size_t N>
std::string name_of(const Named (&table)[N], long long value, const char* what) {
    return name_of(table, table + N, value, what);
}

// The load commands that describe what is loaded and how, and those that
// only inform (symbols for debuggers, the build's versions, a signature):
// both are read or passed over. Any other is refused, named.
bool is_known_command(std::uint32_t cmd) {
    switch (static_cast<long long>(cmd)) {
        case MACOS_LC_SEGMENT_64: case MACOS_LC_DYLD_INFO_ONLY: case MACOS_LC_LOAD_DYLIB:
        case MACOS_LC_ID_DYLIB: case MACOS_LC_SYMTAB: case MACOS_LC_DYSYMTAB: case MACOS_LC_UUID:
        case MACOS_LC_BUILD_VERSION: case MACOS_LC_VERSION_MIN_MACOSX: case MACOS_LC_SOURCE_VERSION:
        case MACOS_LC_FUNCTION_STARTS: case MACOS_LC_DATA_IN_CODE: case MACOS_LC_CODE_SIGNATURE:
            return true;
        default:
            return false;
    }
}

// A segment or section name, shown with '?' for what is not printable.
std::string fixed_name(const char (&field)[16]) {
    std::string name(field, strnlen(field, sizeof field));
    for (char& c : name)
        if (c < 0x20 || c > 0x7e) c = '?';
    return name;
}

bool fail(std::string* error, std::string text) {
    *error = std::move(text);
    return false;
}

bool read_segment(const std::vector<std::uint8_t>& bytes, std::uint64_t at, std::uint32_t cmdsize,
                  MachOFile* out, std::string* error) {
    SegmentCommand64 seg {};
    if (cmdsize < sizeof seg || !read_struct(bytes.data(), bytes.size(), at, &seg))
        return fail(error, "a segment command is cut short");
    MachOSegment s;
    s.name = fixed_name(seg.segname);
    s.vmaddr = seg.vmaddr;
    s.vmsize = seg.vmsize;
    s.fileoff = seg.fileoff;
    s.filesize = seg.filesize;
    s.initprot = seg.initprot;
    s.read_only = (seg.flags & MACOS_SG_READ_ONLY) != 0;
    if (!fits(s.fileoff, s.filesize, bytes.size()))
        return fail(error, "segment " + s.name + " lies beyond the end of the file");
    if (s.filesize > s.vmsize || s.vmaddr + s.vmsize < s.vmaddr)
        return fail(error, "segment " + s.name + " has impossible sizes");
    if (seg.nsects > (cmdsize - sizeof seg) / sizeof(Section64))
        return fail(error, "segment " + s.name + " lists more sections than its command holds");
    for (std::uint32_t i = 0; i < seg.nsects; ++i) {
        Section64 sect {};
        read_struct(bytes.data(), bytes.size(), at + sizeof seg + i * sizeof sect, &sect);
        MachOSection section;
        section.segment = fixed_name(sect.segname);
        section.name = fixed_name(sect.sectname);
        section.addr = sect.addr;
        section.size = sect.size;
        section.type = sect.flags & MACOS_SECTION_TYPE;
        const std::string where = section.segment + "," + section.name;
        if (section.addr < s.vmaddr || !fits(section.addr - s.vmaddr, section.size, s.vmsize))
            return fail(error, "section " + where + " lies outside its segment");
        switch (static_cast<long long>(section.type)) {
            case MACOS_S_THREAD_LOCAL_REGULAR: case MACOS_S_THREAD_LOCAL_ZEROFILL:
            case MACOS_S_THREAD_LOCAL_VARIABLES: case MACOS_S_THREAD_LOCAL_VARIABLE_POINTERS:
            case MACOS_S_THREAD_LOCAL_INIT_FUNCTION_POINTERS:
                return fail(error, "thread-local section " + where + " is not supported");
            case MACOS_S_INIT_FUNC_OFFSETS: case MACOS_S_MOD_TERM_FUNC_POINTERS:
                return fail(error, "initializer or terminator section " + where +
                                       " of a kind this loader does not run");
            default:
                break;
        }
        out->sections.push_back(std::move(section));
    }
    out->segments.push_back(std::move(s));
    return true;
}

bool read_dylib(const std::vector<std::uint8_t>& bytes, std::uint64_t at, std::uint32_t cmdsize,
                MachOFile* out, std::string* error) {
    std::uint32_t name_offset = 0;
    if (cmdsize < MACOS_SIZEOF_DYLIB_COMMAND ||
        !read_struct(bytes.data(), bytes.size(), at + MACOS_OFFSETOF_DYLIB_COMMAND_NAME_OFFSET, &name_offset) ||
        name_offset >= cmdsize)
        return fail(error, "a dylib command is cut short");
    const char* name = reinterpret_cast<const char*>(bytes.data() + at + name_offset);
    MachODylib dylib;
    dylib.name.assign(name, strnlen(name, cmdsize - name_offset));
    if (dylib.name == "/usr/lib/libSystem.B.dylib") {
        dylib.kind = DylibKind::system;
    } else if (dylib.name.rfind("@executable_path/", 0) == 0) {
        dylib.kind = DylibKind::host;
    } else {
        return fail(error, "depends on " + dylib.name +
                               ", which is neither libSystem nor a library beside the host");
    }
    out->dylibs.push_back(std::move(dylib));
    return true;
}

bool read_dyld_info(const std::vector<std::uint8_t>& bytes, std::uint64_t at, std::uint32_t cmdsize,
                    MachOFile* out, std::string* error) {
    DyldInfoCommand info {};
    if (cmdsize < sizeof info || !read_struct(bytes.data(), bytes.size(), at, &info))
        return fail(error, "the dyld info command is cut short");
    const struct {
        FileRange* range;
        std::uint32_t offset, size;
        const char* what;
    } ranges[] = {
        {&out->rebase, info.rebase_off, info.rebase_size, "rebase"},
        {&out->bind, info.bind_off, info.bind_size, "bind"},
        {&out->weak_bind, info.weak_bind_off, info.weak_bind_size, "weak bind"},
        {&out->lazy_bind, info.lazy_bind_off, info.lazy_bind_size, "lazy bind"},
        {&out->exports, info.export_off, info.export_size, "export"},
    };
    for (const auto& r : ranges) {
        if (!fits(r.offset, r.size, bytes.size()))
            return fail(error, std::string("the ") + r.what + " information lies beyond the end of the file");
        *r.range = FileRange{r.offset, r.size};
    }
    return true;
}

}  // namespace

bool is_mach_o_magic(const std::uint8_t* bytes, std::size_t size) {
    std::uint32_t magic = 0;
    if (!read_struct(bytes, size, 0, &magic)) return false;
    for (long long m : {MACOS_MH_MAGIC, MACOS_MH_CIGAM, MACOS_MH_MAGIC_64, MACOS_MH_CIGAM_64, MACOS_FAT_MAGIC,
                        MACOS_FAT_CIGAM, MACOS_FAT_MAGIC_64, MACOS_FAT_CIGAM_64})
        if (magic == static_cast<std::uint32_t>(m)) return true;
    return false;
}

bool parse_mach_o(const std::vector<std::uint8_t>& bytes, MachOFile* out, std::string* error) {
    *out = MachOFile{};
    MachHeader64 header {};
    if (!is_mach_o_magic(bytes.data(), bytes.size())) return fail(error, "not a Mach-O file");
    if (!read_struct(bytes.data(), bytes.size(), 0, &header) || header.magic != MACOS_MH_MAGIC_64) {
        std::uint32_t magic = 0;
        read_struct(bytes.data(), bytes.size(), 0, &magic);
        if (magic == static_cast<std::uint32_t>(MACOS_FAT_MAGIC) || magic == static_cast<std::uint32_t>(MACOS_FAT_CIGAM) ||
            magic == static_cast<std::uint32_t>(MACOS_FAT_MAGIC_64) || magic == static_cast<std::uint32_t>(MACOS_FAT_CIGAM_64))
            return fail(error, "a universal Mach-O file, not a thin x86-64 one");
        if (magic == static_cast<std::uint32_t>(MACOS_MH_MAGIC_64))
            return fail(error, "a Mach-O file cut short in its header");
        return fail(error, "a 32-bit or big-endian Mach-O file, not an x86-64 one");
    }
    if (header.cputype != MACOS_CPU_TYPE_X86_64)
        return fail(error, "built for " + name_of(kCpuTypes, header.cputype, "CPU type") +
                               ", not CPU_TYPE_X86_64");
    if (header.filetype != MACOS_MH_DYLIB) return fail(error, "a Mach-O file that is not a dylib");
    if (header.flags & MACOS_MH_HAS_TLV_DESCRIPTORS)
        return fail(error, "has thread-local variables, which this loader does not support");
    if (!fits(sizeof header, header.sizeofcmds, bytes.size()))
        return fail(error, "its load commands run past the end of the file");

    bool has_dyld_info = false;
    std::uint64_t at = sizeof header;
    const std::uint64_t commands_end = sizeof header + std::uint64_t{header.sizeofcmds};
    for (std::uint32_t i = 0; i < header.ncmds; ++i) {
        LoadCommand lc {};
        if (!fits(at, sizeof lc, commands_end) || !read_struct(bytes.data(), bytes.size(), at, &lc) ||
            lc.cmdsize < sizeof lc || !fits(at, lc.cmdsize, commands_end))
            return fail(error, "load command " + std::to_string(i) + " runs past the load commands");
        if (!is_known_command(lc.cmd))
            return fail(error, "load command " + name_of(kLoadCommands, lc.cmd, nullptr) + " is not supported");
        bool ok = true;
        switch (static_cast<long long>(lc.cmd)) {
            case MACOS_LC_SEGMENT_64: ok = read_segment(bytes, at, lc.cmdsize, out, error); break;
            case MACOS_LC_LOAD_DYLIB: ok = read_dylib(bytes, at, lc.cmdsize, out, error); break;
            case MACOS_LC_DYLD_INFO_ONLY:
                if (has_dyld_info) return fail(error, "two LC_DYLD_INFO_ONLY commands");
                has_dyld_info = true;
                ok = read_dyld_info(bytes, at, lc.cmdsize, out, error);
                break;
            default: break;
        }
        if (!ok) return false;
        at += lc.cmdsize;
    }
    if (!has_dyld_info) return fail(error, "no LC_DYLD_INFO_ONLY: its fixups are in no form this loader reads");
    if (out->segments.empty()) return fail(error, "no segments");
    return true;
}

}  // namespace macos
