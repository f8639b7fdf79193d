// Mapping a dylib: its file read and checked, one range reserved for all its
// segments, each segment's bytes copied in, its pointers slid and bound while
// the range is writable, then each segment given its own protections.
#include "standins/macos/mach_o_image.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "macos_abi/macho_abi.h"
#include "standins/macos/mach_o_exports.h"
#include "standins/macos/mach_o_file.h"
#include "standins/macos/mach_o_fixups.h"
#include "standins/macos/mach_o_imports.h"

extern char** environ;

namespace macos {
namespace {

// Far beyond any plug-in; a file claiming more is malformed.
constexpr std::uint64_t kMaxFileSize = std::uint64_t{1} << 30;
constexpr std::uint64_t kMaxImageSize = std::uint64_t{1} << 32;
// How many unresolved imports a refusal names before it only counts them.
constexpr std::size_t kNamedMissing = 12;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

bool fail(std::string* error, std::string text) {
    *error = std::move(text);
    return false;
}

bool read_file(const std::string& path, std::vector<std::uint8_t>* bytes, std::string* error) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) return fail(error, std::strerror(errno));
    if (!S_ISREG(st.st_mode)) return fail(error, "not a regular file");
    if (static_cast<std::uint64_t>(st.st_size) > kMaxFileSize) return fail(error, "too large for a dylib");
    bytes->resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < bytes->size()) {
        const ssize_t n = ::read(fd.get(), bytes->data() + done, bytes->size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(error, std::strerror(errno));
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    bytes->resize(done);
    return true;
}

std::uint64_t page_size() { return static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE)); }
std::uint64_t round_up(std::uint64_t value, std::uint64_t page) { return (value + page - 1) / page * page; }

// The range all segments span, [*low, *high): each on a page of its own.
bool segment_span(const MachOFile& file, std::uint64_t* low, std::uint64_t* high, std::string* error) {
    const std::uint64_t page = page_size();
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
    for (const MachOSegment& s : file.segments) {
        if (s.vmsize == 0) continue;
        if (s.vmaddr % page != 0) return fail(error, "segment " + s.name + " does not start on a page");
        ranges.emplace_back(s.vmaddr, s.vmaddr + s.vmsize);
    }
    if (ranges.empty()) return fail(error, "no segment has any size");
    std::sort(ranges.begin(), ranges.end());
    for (std::size_t i = 1; i < ranges.size(); ++i)
        if (ranges[i].first < round_up(ranges[i - 1].second, page)) return fail(error, "two segments overlap");
    *low = ranges.front().first;
    *high = round_up(ranges.back().second, page);
    if (*high - *low > kMaxImageSize) return fail(error, "its segments span more than an image can");
    return true;
}

int protection(const MachOSegment& s) {
    int prot = PROT_NONE;
    if (s.initprot & MACOS_VM_PROT_READ) prot |= PROT_READ;
    if ((s.initprot & MACOS_VM_PROT_WRITE) && !s.read_only) prot |= PROT_WRITE;
    if (s.initprot & MACOS_VM_PROT_EXECUTE) prot |= PROT_EXEC;
    return prot;
}

std::uint64_t load64(const std::uint8_t* at) {
    std::uint64_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

void store64(std::uint8_t* at, std::uint64_t value) { std::memcpy(at, &value, sizeof value); }

}  // namespace

Mapping& Mapping::operator=(Mapping&& other) noexcept {
    if (this != &other) {
        if (address_) ::munmap(address_, size_);
        address_ = std::exchange(other.address_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

Mapping::~Mapping() {
    if (address_) ::munmap(address_, size_);
}

std::unique_ptr<MachOImage> MachOImage::load(const std::string& path, std::string* error) {
    std::vector<std::uint8_t> bytes;
    MachOFile file;
    std::uint64_t low = 0, high = 0;
    if (!read_file(path, &bytes, error) || !parse_mach_o(bytes, &file, error) ||
        !segment_span(file, &low, &high, error))
        return nullptr;
    auto refuse = [error](std::string text) {
        *error = std::move(text);
        return std::unique_ptr<MachOImage>();
    };

    auto image = std::make_unique<MachOImage>(Key{});
    void* range = ::mmap(nullptr, high - low, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (range == MAP_FAILED) return refuse(std::string("cannot reserve its range: ") + std::strerror(errno));
    image->mapping_ = Mapping(range, high - low);
    std::uint8_t* const base = image->mapping_.bytes();
    const std::uint64_t slide = reinterpret_cast<std::uintptr_t>(base) - low;
    auto memory = [&](std::uint64_t vmaddr) { return base + (vmaddr - low); };

    std::vector<std::uint64_t> segment_sizes;
    std::uint8_t* header = nullptr;
    for (const MachOSegment& s : file.segments) {
        segment_sizes.push_back(s.vmsize);
        if (s.vmsize == 0) continue;
        std::memcpy(memory(s.vmaddr), bytes.data() + s.fileoff, s.filesize);
        if (s.fileoff == 0 && s.filesize > 0) header = memory(s.vmaddr);
    }
    if (header == nullptr) return refuse("no segment maps its mach header");

    ImageInfo& info = image->info_;
    info.path = path;
    info.header = reinterpret_cast<std::uintptr_t>(header);
    info.slide = slide;
    info.start = reinterpret_cast<std::uintptr_t>(base);
    info.end = info.start + image->mapping_.size();
    image->export_trie_.assign(bytes.data() + file.exports.offset,
                               bytes.data() + file.exports.offset + file.exports.size);

    auto segment_memory = [&](const FixupLocation& at) {
        return memory(file.segments[at.segment].vmaddr) + at.offset;
    };
    if (!decode_rebases(bytes.data() + file.rebase.offset, file.rebase.size, segment_sizes,
                        [&](const FixupLocation& at) {
                            std::uint8_t* p = segment_memory(at);
                            store64(p, load64(p) + slide);
                        },
                        error))
        return nullptr;

    const MachOImage& self = *image;
    const OwnSymbol own = [&self](std::string_view symbol) -> const void* {
        std::string ignored;
        return self.exported(symbol, &ignored);
    };
    std::vector<std::string> missing;
    const struct {
        FileRange range;
        BindStream stream;
    } streams[] = {{file.bind, BindStream::regular}, {file.weak_bind, BindStream::weak},
                   {file.lazy_bind, BindStream::lazy}};
    for (const auto& s : streams) {
        const bool ok = decode_binds(
            bytes.data() + s.range.offset, s.range.size, s.stream, segment_sizes,
            [&](const BindSite& site) {
                const void* address = nullptr;
                if (s.stream == BindStream::weak) {
                    // The first image in load order that defines a weak symbol
                    // provides it, and of the images here that is this one: a
                    // site of a symbol it exports binds to that export, any
                    // other keeps what its rebase or bind left there.
                    if (site.non_weak_definition || !(address = own(site.symbol))) return;
                } else {
                    std::string why;
                    address = resolve_import(file.dylibs, site, own, &why);
                    if (!why.empty()) {
                        if (std::find(missing.begin(), missing.end(), why) == missing.end())
                            missing.push_back(std::move(why));
                        return;
                    }
                }
                store64(segment_memory(site.location),
                        reinterpret_cast<std::uintptr_t>(address) + static_cast<std::uint64_t>(site.addend));
            },
            error);
        if (!ok) return nullptr;
    }
    if (!missing.empty()) {
        std::string text;
        for (std::size_t i = 0; i < missing.size() && i < kNamedMissing; ++i) text += (i ? "; " : "") + missing[i];
        if (missing.size() > kNamedMissing)
            text += " (and " + std::to_string(missing.size() - kNamedMissing) + " more imports)";
        return refuse(text);
    }

    for (const MachOSection& section : file.sections) {
        const SectionBytes bytes_in_memory {memory(section.addr), static_cast<std::size_t>(section.size)};
        if (section.segment == "__TEXT" && section.name == "__text") {
            info.text_start = reinterpret_cast<std::uintptr_t>(bytes_in_memory.data);
            info.text_end = info.text_start + section.size;
        } else if (section.segment == "__TEXT" && section.name == "__unwind_info") {
            info.unwind_info = bytes_in_memory;
        } else if (section.segment == "__TEXT" && section.name == "__eh_frame") {
            info.eh_frame = bytes_in_memory;
        }
    }
    // Initializers are checked to lie in code of the image before any is run.
    auto in_code = [&](std::uint64_t address) {
        for (const MachOSegment& s : file.segments)
            if ((s.initprot & MACOS_VM_PROT_EXECUTE) && address >= s.vmaddr + slide &&
                address < s.vmaddr + slide + s.vmsize)
                return true;
        return false;
    };
    for (const MachOSection& section : file.sections) {
        if (section.type != MACOS_S_MOD_INIT_FUNC_POINTERS) continue;
        for (std::uint64_t at = 0; at + sizeof(std::uint64_t) <= section.size; at += sizeof(std::uint64_t)) {
            const std::uint64_t function = load64(memory(section.addr) + at);
            if (!in_code(function))
                return refuse("an initializer in " + section.segment + "," + section.name +
                              " points outside the image's code");
            image->initializers_.push_back(function);
        }
    }

    for (const MachOSegment& s : file.segments) {
        if (s.vmsize == 0) continue;
        if (::mprotect(memory(s.vmaddr), round_up(s.vmsize, page_size()), protection(s)) != 0)
            return refuse("cannot protect segment " + s.name + ": " + std::strerror(errno));
    }
    return image;
}

void MachOImage::run_initializers() const {
    // Called as the Mac's loader calls them: argc, argv, envp, apple.
    using Initializer = void (*)(int, const char* const*, const char* const*, const char* const*);
    static const char* const kNone[] = {nullptr};
    for (std::uintptr_t function : initializers_)
        reinterpret_cast<Initializer>(function)(0, kNone, environ, kNone);
}

void* MachOImage::exported(std::string_view symbol, std::string* error) const {
    ExportedSymbol found;
    if (!find_export(export_trie_.data(), export_trie_.size(), symbol, &found, error)) return nullptr;
    return reinterpret_cast<void*>(found.absolute ? found.offset : info_.header + found.offset);
}

}  // namespace macos
