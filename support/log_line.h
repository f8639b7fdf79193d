// The text of one log line while it is built: what a statement inserts,
// formatted as a standard output stream in the classic locale formats it
// (texts as they are, integers in decimal, a character as itself, a
// pointer as the C++ library prints one), without a stream. Anything else
// goes through a stream of its own.
//
// Lines up to a few hundred bytes are built in place; a longer one moves to
// the heap. Nothing here throws: a line that memory cannot hold is cut
// where the heap failed it, and nothing inserted after that is kept.
#pragma once

#include <cstddef>
#include <sstream>
#include <string>

namespace orvella {

class LogLine {
public:
    LogLine() { in_place_[0] = '\0'; }
    LogLine(const LogLine&) = delete;
    LogLine& operator=(const LogLine&) = delete;

    LogLine& operator<<(const char* text);  // a null text adds nothing
    LogLine& operator<<(const std::string& text) { return append(text.data(), text.size()); }
    LogLine& operator<<(char c) { return append(&c, 1); }
    LogLine& operator<<(int value) { return decimal(value); }
    LogLine& operator<<(long value) { return decimal(value); }
    LogLine& operator<<(long long value) { return decimal(value); }
    LogLine& operator<<(unsigned value) { return positive(value); }
    LogLine& operator<<(unsigned long value) { return positive(value); }
    LogLine& operator<<(unsigned long long value) { return positive(value); }
    LogLine& operator<<(const void* pointer);

    // Whatever else a stream can print, as a stream prints it.
    template <typename T>
    LogLine& operator<<(const T& value);

    LogLine& append(const char* data, std::size_t size);
    // Ends the line with a newline, a cut one too (in place of its last
    // byte when there is no room left for one).
    void end_line();

    // The line so far, NUL-terminated.
    const char* c_str() const;
    std::size_t size() const { return spilled_ ? heap_.size() : used_; }

private:
    LogLine& decimal(long long value);
    LogLine& positive(unsigned long long value);

    static constexpr std::size_t kInPlace = 512;
    char in_place_[kInPlace];
    std::size_t used_ = 0;
    bool spilled_ = false;
    bool cut_ = false;
    std::string heap_;
};

template <typename T>
LogLine& LogLine::operator<<(const T& value) {
    try {
        std::ostringstream text;
        text << value;
        const std::string printed = text.str();
        return append(printed.data(), printed.size());
    } catch (...) {
        return *this;
    }
}

}  // namespace orvella
