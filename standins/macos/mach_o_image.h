// One Mach-O dylib mapped into this process: its segments in one reserved
// range with their protections, its pointers slid and bound, ready for its
// initializers to run. Unmapped when destroyed.
#ifndef ORVELLA_STANDINS_MACOS_MACH_O_IMAGE_H
#define ORVELLA_STANDINS_MACOS_MACH_O_IMAGE_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "standins/macos/image_registry.h"

namespace macos {

// An address range of this process's own, released when it goes.
class Mapping {
public:
    Mapping() = default;
    Mapping(void* address, std::size_t size) : address_(address), size_(size) {}
    Mapping(Mapping&& other) noexcept { *this = std::move(other); }
    Mapping& operator=(Mapping&& other) noexcept;
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;
    ~Mapping();
    std::uint8_t* bytes() const { return static_cast<std::uint8_t*>(address_); }
    std::size_t size() const { return size_; }

private:
    void* address_ = nullptr;
    std::size_t size_ = 0;
};

class MachOImage {
public:
    // Maps and binds the dylib at PATH; null with the reason in *ERROR. Its
    // initializers have not run yet.
    static std::unique_ptr<MachOImage> load(const std::string& path, std::string* error);

    // What the registry keeps of it (path, ranges, unwind tables).
    const ImageInfo& info() const { return info_; }

    // Runs its __mod_init_func initializers, in order.
    void run_initializers() const;

    // The address of the symbol it exports as SYMBOL ("_SvApiPluginInit");
    // null with the reason.
    void* exported(std::string_view symbol, std::string* error) const;

    struct Key {  // only load() makes one
    private:
        friend class MachOImage;
        Key() = default;
    };
    explicit MachOImage(Key) {}

private:

    Mapping mapping_;
    ImageInfo info_;
    std::vector<std::uint8_t> export_trie_;
    std::vector<std::uintptr_t> initializers_;
};

}  // namespace macos

#endif
