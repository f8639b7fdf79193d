#include "support/log_line.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace orvella {

LogLine& LogLine::operator<<(const char* text) {
    return text == nullptr ? *this : append(text, std::strlen(text));
}

LogLine& LogLine::operator<<(const void* pointer) {
#ifdef _LIBCPP_VERSION
    // libc++ prints a pointer with printf's "%p".
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%p", pointer);
    return length > 0 ? append(text, static_cast<std::size_t>(length)) : *this;
#else
    // libstdc++ prints it as hexadecimal with the base shown, which a zero
    // goes without: "0", else "0x" and lower-case digits.
    const std::uintptr_t value = reinterpret_cast<std::uintptr_t>(pointer);
    if (value == 0) return append("0", 1);
    char text[2 + 2 * sizeof value];
    char* begin = text + sizeof text;
    for (std::uintptr_t rest = value; rest != 0; rest >>= 4) *--begin = "0123456789abcdef"[rest & 15];
    *--begin = 'x';
    *--begin = '0';
    return append(begin, static_cast<std::size_t>(text + sizeof text - begin));
#endif
}

LogLine& LogLine::decimal(long long value) {
    if (value >= 0) return positive(static_cast<unsigned long long>(value));
    append("-", 1);
    // The magnitude without overflow, the most negative value included.
    return positive(0ull - static_cast<unsigned long long>(value));
}

LogLine& LogLine::positive(unsigned long long value) {
    char text[24];
    char* begin = text + sizeof text;
    do {
        *--begin = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    return append(begin, static_cast<std::size_t>(text + sizeof text - begin));
}

LogLine& LogLine::append(const char* data, std::size_t size) {
    if (cut_) return *this;
    if (!spilled_ && used_ + size < kInPlace) {
        std::memcpy(in_place_ + used_, data, size);
        used_ += size;
        in_place_[used_] = '\0';
        return *this;
    }
    try {
        if (!spilled_) heap_.assign(in_place_, used_);
        spilled_ = true;
        heap_.append(data, size);
    } catch (...) {
        // What memory cannot hold is lost, and so is everything after it:
        // the line keeps what it had.
        cut_ = true;
    }
    return *this;
}

void LogLine::end_line() {
    append("\n", 1);
    if (!cut_) return;
    // Without allocating: in the room left, or over the last byte.
    if (spilled_) {
        if (heap_.size() < heap_.capacity())
            heap_.push_back('\n');
        else if (!heap_.empty())
            heap_.back() = '\n';
    } else if (used_ + 1 < kInPlace) {
        in_place_[used_++] = '\n';
        in_place_[used_] = '\0';
    } else {
        in_place_[used_ - 1] = '\n';
    }
}

const char* LogLine::c_str() const { return spilled_ ? heap_.c_str() : in_place_; }

}  // namespace orvella
