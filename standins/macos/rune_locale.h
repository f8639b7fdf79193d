// macOS's character tables: _DefaultRuneLocale, which the image's inline
// ctype functions read for the ASCII range, and the type bits of any rune
// the out-of-line ones (__maskrune) answer for.
#ifndef ORVELLA_STANDINS_MACOS_RUNE_LOCALE_H
#define ORVELLA_STANDINS_MACOS_RUNE_LOCALE_H

#include <cstdint>

namespace macos {

constexpr int kCachedRunes = 256;

// macOS's _RuneLocale, member for member.
struct RuneRange {
    std::int32_t nranges;
    const void* ranges;
};
struct RuneLocale {
    char magic[8];
    char encoding[32];
    const void* sgetrune;
    const void* sputrune;
    std::int32_t invalid_rune;
    std::uint32_t runetype[kCachedRunes];
    std::int32_t maplower[kCachedRunes];
    std::int32_t mapupper[kCachedRunes];
    RuneRange runetype_ext;
    RuneRange maplower_ext;
    RuneRange mapupper_ext;
    const void* variable;
    std::int32_t variable_len;
    std::int32_t ncharclasses;
    const void* charclasses;
};

// The C locale's table: the data import _DefaultRuneLocale.
extern const RuneLocale default_rune_locale;

// RUNE's macOS type bits (the _CTYPE_* classes, its digit value in the low
// bits, its screen width where printing does not imply it) under the calling
// thread's locale; 0 for a negative one such as EOF.
std::uint32_t rune_type(int rune);

}  // namespace macos

#endif
