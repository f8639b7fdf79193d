// A range of this process's memory the unwinder may read: a table section,
// an image's text, the stack of the throwing thread. Every read the unwinder
// makes goes through one, so a corrupt table fails the throw instead of
// reading outside the image or the stack.
#ifndef ORVELLA_STANDINS_MACOS_MEMORY_RANGE_H
#define ORVELLA_STANDINS_MACOS_MEMORY_RANGE_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace macos {

struct MemoryRange {
    std::uintptr_t begin = 0;
    std::uintptr_t end = 0;  // one past the last readable byte

    bool contains(std::uintptr_t address, std::size_t size) const {
        return address >= begin && address <= end && end - address >= size;
    }

    // Reads a T at ADDRESS (unaligned reads allowed); false outside the range.
    template <typename T>
    bool read(std::uintptr_t address, T* out) const {
        if (!contains(address, sizeof(T))) return false;
        std::memcpy(out, reinterpret_cast<const void*>(address), sizeof(T));
        return true;
    }
};

}  // namespace macos

#endif
