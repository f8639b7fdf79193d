// macOS's character tables, filled from glibc's classification.
#include "standins/macos/rune_locale.h"

#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <wchar.h>
#include <wctype.h>

#include "macos_abi/stdio_locale_abi.h"
#include "standins/macos/mac_locale.h"

namespace macos {
namespace {

#define HOLD_MEMBER(member)                                                          \
    static_assert(offsetof(RuneLocale, member) == MACOS_OFFSETOF_RUNE_LOCALE___##member && \
                  sizeof(RuneLocale::member) == MACOS_SIZEOF_RUNE_LOCALE___##member)
HOLD_MEMBER(magic);
HOLD_MEMBER(encoding);
HOLD_MEMBER(sgetrune);
HOLD_MEMBER(sputrune);
HOLD_MEMBER(invalid_rune);
HOLD_MEMBER(runetype);
HOLD_MEMBER(maplower);
HOLD_MEMBER(mapupper);
HOLD_MEMBER(runetype_ext);
HOLD_MEMBER(maplower_ext);
HOLD_MEMBER(mapupper_ext);
HOLD_MEMBER(variable);
HOLD_MEMBER(variable_len);
HOLD_MEMBER(ncharclasses);
HOLD_MEMBER(charclasses);
#undef HOLD_MEMBER
static_assert(sizeof(RuneLocale) == MACOS_SIZEOF_RUNE_LOCALE);
static_assert(sizeof(RuneRange) == MACOS_SIZEOF_RUNE_RANGE &&
              offsetof(RuneRange, nranges) == MACOS_OFFSETOF_RUNE_RANGE___nranges &&
              offsetof(RuneRange, ranges) == MACOS_OFFSETOF_RUNE_RANGE___ranges);
static_assert(kCachedRunes == MACOS__CACHED_RUNES);
static_assert(sizeof(wchar_t) == MACOS_SIZEOF_WCHAR_T && sizeof(int) == MACOS_SIZEOF_CT_RUNE_T);
static_assert(MACOS_RUNE_MAGIC_A_LENGTH == sizeof RuneLocale::magic);

struct TypeBit {
    int (*is)(wint_t);
    std::uint32_t bit;
};
const TypeBit kTypeBits[] = {
    {::iswalpha, MACOS__CTYPE_A}, {::iswcntrl, MACOS__CTYPE_C}, {::iswdigit, MACOS__CTYPE_D},
    {::iswgraph, MACOS__CTYPE_G}, {::iswlower, MACOS__CTYPE_L}, {::iswpunct, MACOS__CTYPE_P},
    {::iswspace, MACOS__CTYPE_S}, {::iswupper, MACOS__CTYPE_U}, {::iswxdigit, MACOS__CTYPE_X},
    {::iswblank, MACOS__CTYPE_B}, {::iswprint, MACOS__CTYPE_R},
    // glibc has no ideogram, phonogram or special class: those bits stay clear.
};

// The value digittoint reads from the low bits of a hexadecimal digit's type.
std::uint32_t digit_value(int rune) {
    if (rune >= '0' && rune <= '9') return static_cast<std::uint32_t>(rune - '0');
    if (rune >= 'a' && rune <= 'f') return static_cast<std::uint32_t>(rune - 'a' + 10);
    if (rune >= 'A' && rune <= 'F') return static_cast<std::uint32_t>(rune - 'A' + 10);
    return 0;
}

RuneLocale c_rune_locale() {
    const ThreadLocale c(reinterpret_cast<MacLocale>(MACOS_LC_C_LOCALE));
    if (!c.valid()) {
        std::fputs("libSystem stand-in: glibc's C locale is missing\n", stderr);
        std::abort();
    }
    RuneLocale table{};
    const char magic[] = {MACOS_RUNE_MAGIC_A_0, MACOS_RUNE_MAGIC_A_1, MACOS_RUNE_MAGIC_A_2,
                          MACOS_RUNE_MAGIC_A_3, MACOS_RUNE_MAGIC_A_4, MACOS_RUNE_MAGIC_A_5,
                          MACOS_RUNE_MAGIC_A_6, MACOS_RUNE_MAGIC_A_7};
    std::memcpy(table.magic, magic, sizeof table.magic);
    // The encoding the table describes, by glibc's name for it.
    std::strncpy(table.encoding, ::nl_langinfo(CODESET), sizeof table.encoding - 1);
    for (int rune = 0; rune < kCachedRunes; ++rune) {
        table.runetype[rune] = rune_type(rune);
        table.maplower[rune] = static_cast<std::int32_t>(::towlower(static_cast<wint_t>(rune)));
        table.mapupper[rune] = static_cast<std::int32_t>(::towupper(static_cast<wint_t>(rune)));
    }
    // The rest stays empty: the rune conversion entries and the encoding's
    // data serve the C library's own multibyte functions, which are glibc's
    // here, and the C locale types no rune above the table (__maskrune
    // answers for those).
    return table;
}

}  // namespace

const RuneLocale default_rune_locale = c_rune_locale();

std::uint32_t rune_type(int rune) {
    if (rune < 0) return 0;
    const auto c = static_cast<wint_t>(rune);
    std::uint32_t type = 0;
    for (const TypeBit& t : kTypeBits)
        if (t.is(c)) type |= t.bit;
    if (type & MACOS__CTYPE_X) type |= digit_value(rune);
    // macOS reads a printable rune's width as 1 and another's as -1 unless
    // the width bits say otherwise.
    const int width = ::wcwidth(static_cast<wchar_t>(rune));
    if (width >= 0 && width != ((type & MACOS__CTYPE_R) ? 1 : -1))
        type |= width == 0 ? static_cast<std::uint32_t>(MACOS__CTYPE_SW0)
                           : static_cast<std::uint32_t>(width) << MACOS__CTYPE_SWS;
    return type;
}

}  // namespace macos
