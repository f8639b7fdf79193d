// What the loader needs of an x86-64 Mach-O dylib, read from its bytes and
// checked: its segments and sections, the libraries it binds to, and its
// dyld info (rebase, bind and export data). Anything it cannot load is
// refused with the reason: not Mach-O, another CPU, not a dylib, a load
// command or section kind it does not handle, a range outside the file.
#ifndef ORVELLA_STANDINS_MACOS_MACH_O_FILE_H
#define ORVELLA_STANDINS_MACOS_MACH_O_FILE_H

#include <cstdint>
#include <string>
#include <vector>

namespace macos {

struct MachOSegment {
    std::string name;
    std::uint64_t vmaddr = 0;
    std::uint64_t vmsize = 0;
    std::uint64_t fileoff = 0;
    std::uint64_t filesize = 0;
    int initprot = 0;        // VM_PROT_* bits
    bool read_only = false;  // made read-only once its pointers are fixed up
};

struct MachOSection {
    std::string segment;
    std::string name;
    std::uint64_t addr = 0;
    std::uint64_t size = 0;
    std::uint32_t type = 0;  // flags & SECTION_TYPE
};

// The libraries an image binds to, by what stands in for them here.
enum class DylibKind {
    system,  // libSystem: the stand-in's shims
    host,    // a library beside the host executable: the process's own symbols
};

struct MachODylib {
    std::string name;
    DylibKind kind = DylibKind::system;
};

// A run of the file's bytes, [offset, offset + size).
struct FileRange {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

struct MachOFile {
    std::vector<MachOSegment> segments;  // in load-command order: the fixups' segment indexes
    std::vector<MachOSection> sections;
    std::vector<MachODylib> dylibs;      // in load-command order: ordinal 1 first
    FileRange rebase;
    FileRange bind;
    FileRange weak_bind;
    FileRange lazy_bind;
    FileRange exports;
};

// Reads and checks the file's BYTES; false with the reason in *ERROR.
bool parse_mach_o(const std::vector<std::uint8_t>& bytes, MachOFile* out, std::string* error);

// Whether the first bytes of a file are a Mach-O file's, of any architecture
// or a universal one.
bool is_mach_o_magic(const std::uint8_t* bytes, std::size_t size);

}  // namespace macos

#endif
