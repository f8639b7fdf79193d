// Reading a Mach-O file's bytes without ever reading past them: every read
// says whether it fit, so a truncated or malformed file is refused, never
// followed off its end.
#ifndef ORVELLA_STANDINS_MACOS_MACH_O_READER_H
#define ORVELLA_STANDINS_MACOS_MACH_O_READER_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

namespace macos {

// A run of bytes read front to back: the opcode streams and the export trie.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool at_end() const { return offset_ >= size_; }
    std::size_t offset() const { return offset_; }
    bool seek(std::size_t offset) {
        if (offset > size_) return false;
        offset_ = offset;
        return true;
    }

    bool byte(std::uint8_t* out) {
        if (offset_ >= size_) return false;
        *out = data_[offset_++];
        return true;
    }

    bool uleb(std::uint64_t* out) {
        std::uint64_t value = 0;
        for (unsigned shift = 0; shift < 64; shift += 7) {
            std::uint8_t b = 0;
            if (!byte(&b)) return false;
            value |= static_cast<std::uint64_t>(b & 0x7f) << shift;
            if ((b & 0x80) == 0) {
                *out = value;
                return true;
            }
        }
        return false;  // more than 64 bits
    }

    bool sleb(std::int64_t* out) {
        std::uint64_t value = 0;
        unsigned shift = 0;
        std::uint8_t b = 0;
        do {
            if (shift >= 64 || !byte(&b)) return false;
            value |= static_cast<std::uint64_t>(b & 0x7f) << shift;
            shift += 7;
        } while (b & 0x80);
        if (shift < 64 && (b & 0x40)) value |= ~std::uint64_t{0} << shift;
        *out = static_cast<std::int64_t>(value);
        return true;
    }

    // A NUL-terminated string, without its NUL.
    bool cstring(std::string_view* out) {
        if (offset_ >= size_) return false;
        const void* nul = std::memchr(data_ + offset_, 0, size_ - offset_);
        if (nul == nullptr) return false;
        const std::size_t length = static_cast<const std::uint8_t*>(nul) - (data_ + offset_);
        *out = std::string_view(reinterpret_cast<const char*>(data_ + offset_), length);
        offset_ += length + 1;
        return true;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t offset_ = 0;
};

// Whether [offset, offset + length) lies within SIZE bytes, without overflow.
inline bool fits(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
    return offset <= size && length <= size - offset;
}

// A structure copied out of the file at OFFSET; false when it does not fit.
template <typename T>
bool read_struct(const std::uint8_t* data, std::size_t size, std::uint64_t offset, T* out) {
    static_assert(std::is_trivially_copyable_v<T>);
    if (!fits(offset, sizeof(T), size)) return false;
    std::memcpy(out, data + offset, sizeof(T));
    return true;
}

}  // namespace macos

#endif
