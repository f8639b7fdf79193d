// libSystem shims: stdio, the _l family, ctype and message catalogs.
//
// FILE is opaque to the image: it reaches streams only through these calls
// (it imports none of the macros' helpers that read a FILE's members), so a
// glibc FILE* stands for a macOS one. The variadic calls forward through
// their v-functions: x86-64 macOS and glibc share the va_list.
#include <cerrno>
#include <clocale>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <nl_types.h>
#include <wchar.h>
#include <wctype.h>

#include "macos_abi/stdio_locale_abi.h"
#include "standins/macos/libsystem.h"
#include "standins/macos/mac_errno.h"
#include "standins/macos/mac_locale.h"
#include "standins/macos/rune_locale.h"

namespace macos {
namespace {

static_assert(sizeof(va_list) == MACOS_SIZEOF_VA_LIST);
static_assert(MACOS_EOF == EOF);
// glibc's conversion state lives at the start of the caller's macOS one; both
// begin zeroed.
static_assert(sizeof(::mbstate_t) <= MACOS_SIZEOF_MBSTATE_T &&
              alignof(::mbstate_t) <= MACOS_ALIGNOF_MBSTATE_T);
static_assert(sizeof(wchar_t) == MACOS_SIZEOF_WCHAR_T);
static_assert(sizeof(nl_catd) == MACOS_SIZEOF_NL_CATD);

#define HOLD_TM(member)                                                       \
    static_assert(offsetof(std::tm, member) == MACOS_OFFSETOF_TM_##member && \
                  sizeof(std::tm::member) == MACOS_SIZEOF_TM_##member)
HOLD_TM(tm_sec);
HOLD_TM(tm_min);
HOLD_TM(tm_hour);
HOLD_TM(tm_mday);
HOLD_TM(tm_mon);
HOLD_TM(tm_year);
HOLD_TM(tm_wday);
HOLD_TM(tm_yday);
HOLD_TM(tm_isdst);
HOLD_TM(tm_gmtoff);
HOLD_TM(tm_zone);
#undef HOLD_TM
static_assert(sizeof(std::tm) == MACOS_SIZEOF_TM);

void set_mac_errno(int linux_errno) { *mac_errno_location() = to_mac_errno(linux_errno); }

// CALL with errno carried across both ways.
template <typename Call>
auto errno_synced(Call call) {
    errno_to_linux();
    const auto result = call();
    errno_to_mac();
    return result;
}

// CALL run under the glibc locale standing for LOCALE, errno carried across;
// REFUSED with EINVAL for a locale_t that stands for none.
template <typename Result, typename Call>
Result in_locale(MacLocale locale, Result refused, Call call) {
    errno_to_linux();
    Result result = refused;
    {
        const ThreadLocale scope(locale);
        if (scope.valid())
            result = call();
        else
            errno = EINVAL;
    }
    errno_to_mac();
    return result;
}

// ---- stdio

int fprintf_shim(std::FILE* stream, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int result = errno_synced([&] { return std::vfprintf(stream, format, arguments); });
    va_end(arguments);
    return result;
}

int snprintf_shim(char* buffer, std::size_t size, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int result = errno_synced([&] { return std::vsnprintf(buffer, size, format, arguments); });
    va_end(arguments);
    return result;
}

int sscanf_shim(const char* text, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int result = errno_synced([&] { return std::vsscanf(text, format, arguments); });
    va_end(arguments);
    return result;
}

// ---- the _l family: the C locale (null) or the global one

int snprintf_l_shim(char* buffer, std::size_t size, MacLocale locale, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int result =
        in_locale(locale, -1, [&] { return std::vsnprintf(buffer, size, format, arguments); });
    va_end(arguments);
    return result;
}

// The caller tells a failure by the null buffer, as macOS leaves it.
int asprintf_l_shim(char** out, MacLocale locale, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int result = in_locale(locale, -1, [&] { return ::vasprintf(out, format, arguments); });
    va_end(arguments);
    if (result < 0) *out = nullptr;
    return result;
}

int sscanf_l_shim(const char* text, MacLocale locale, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int result = in_locale(locale, EOF, [&] { return std::vsscanf(text, format, arguments); });
    va_end(arguments);
    return result;
}

// A refused conversion converts nothing: the end is the start.
double strtod_l_shim(const char* text, char** end, MacLocale locale) {
    if (end != nullptr) *end = const_cast<char*>(text);
    return in_locale(locale, 0.0, [&] { return std::strtod(text, end); });
}

float strtof_l_shim(const char* text, char** end, MacLocale locale) {
    if (end != nullptr) *end = const_cast<char*>(text);
    return in_locale(locale, 0.0f, [&] { return std::strtof(text, end); });
}

long double strtold_l_shim(const char* text, char** end, MacLocale locale) {
    if (end != nullptr) *end = const_cast<char*>(text);
    return in_locale(locale, 0.0L, [&] { return std::strtold(text, end); });
}

long long strtoll_l_shim(const char* text, char** end, int base, MacLocale locale) {
    if (end != nullptr) *end = const_cast<char*>(text);
    return in_locale(locale, 0LL, [&] { return std::strtoll(text, end, base); });
}

unsigned long long strtoull_l_shim(const char* text, char** end, int base, MacLocale locale) {
    if (end != nullptr) *end = const_cast<char*>(text);
    return in_locale(locale, 0ULL, [&] { return std::strtoull(text, end, base); });
}

std::size_t strftime_l_shim(char* buffer, std::size_t size, const char* format, const std::tm* time,
                            MacLocale locale) {
    return in_locale(locale, std::size_t{0}, [&] { return std::strftime(buffer, size, format, time); });
}

// The multibyte conversions: glibc's state in the caller's macOS one.
::mbstate_t* state_in(void* mac_state) { return static_cast<::mbstate_t*>(mac_state); }
constexpr std::size_t kConversionFailed = static_cast<std::size_t>(-1);

std::size_t mbrlen_l_shim(const char* bytes, std::size_t size, void* state, MacLocale locale) {
    return in_locale(locale, kConversionFailed, [&] { return ::mbrlen(bytes, size, state_in(state)); });
}

std::size_t mbrtowc_l_shim(wchar_t* out, const char* bytes, std::size_t size, void* state,
                           MacLocale locale) {
    return in_locale(locale, kConversionFailed,
                     [&] { return ::mbrtowc(out, bytes, size, state_in(state)); });
}

std::size_t mbsnrtowcs_l_shim(wchar_t* out, const char** bytes, std::size_t size, std::size_t count,
                              void* state, MacLocale locale) {
    return in_locale(locale, kConversionFailed,
                     [&] { return ::mbsnrtowcs(out, bytes, size, count, state_in(state)); });
}

std::size_t mbsrtowcs_l_shim(wchar_t* out, const char** bytes, std::size_t count, void* state,
                             MacLocale locale) {
    return in_locale(locale, kConversionFailed,
                     [&] { return ::mbsrtowcs(out, bytes, count, state_in(state)); });
}

int mbtowc_l_shim(wchar_t* out, const char* bytes, std::size_t size, MacLocale locale) {
    return in_locale(locale, -1, [&] { return std::mbtowc(out, bytes, size); });
}

std::size_t wcrtomb_l_shim(char* out, wchar_t character, void* state, MacLocale locale) {
    return in_locale(locale, kConversionFailed,
                     [&] { return ::wcrtomb(out, character, state_in(state)); });
}

std::size_t wcsnrtombs_l_shim(char* out, const wchar_t** characters, std::size_t size,
                              std::size_t count, void* state, MacLocale locale) {
    return in_locale(locale, kConversionFailed,
                     [&] { return ::wcsnrtombs(out, characters, size, count, state_in(state)); });
}

int mb_cur_max_l_shim(MacLocale locale) {
    const ThreadLocale scope(locale);
    if (!scope.valid()) unknown_locale("___mb_cur_max_l", locale);
    return static_cast<int>(MB_CUR_MAX);
}

// The image is handed no locale object (nothing binds newlocale), so none
// is its to free.
int freelocale_shim(MacLocale) {
    set_mac_errno(EINVAL);
    return -1;
}

// ---- ctype: the inline functions read _DefaultRuneLocale for ASCII and
// call these for the rest, under the thread's locale or the one given.

int maskrune_shim(int rune, unsigned long mask) {
    return static_cast<int>(rune_type(rune) & mask);
}

int maskrune_l_shim(int rune, unsigned long mask, MacLocale locale) {
    const ThreadLocale scope(locale);
    if (!scope.valid()) unknown_locale("___maskrune_l", locale);
    return static_cast<int>(rune_type(rune) & mask);
}

// A negative rune (EOF) maps to itself.
int tolower_shim(int rune) {
    return rune < 0 ? rune : static_cast<int>(::towlower(static_cast<wint_t>(rune)));
}

int toupper_shim(int rune) {
    return rune < 0 ? rune : static_cast<int>(::towupper(static_cast<wint_t>(rune)));
}

// ---- message catalogs: glibc's nl_catd is a pointer too, opaque to the image.

nl_catd catopen_shim(const char* name, int flag) {
    if (flag != 0 && flag != MACOS_NL_CAT_LOCALE) {
        set_mac_errno(EINVAL);
        return reinterpret_cast<nl_catd>(-1);
    }
    const int linux_flag = flag == 0 ? 0 : NL_CAT_LOCALE;
    return errno_synced([&] { return ::catopen(name, linux_flag); });
}

const Shim kShims[] = {
    // The standard streams: each import is the variable holding the FILE*.
    {"___stderrp", &stderr},
    {"___stdinp", &stdin},
    {"___stdoutp", &stdout},
    {"_fclose", reinterpret_cast<const void*>(&ErrnoSynced<&::fclose>::call)},
    {"_fdopen", reinterpret_cast<const void*>(&ErrnoSynced<&::fdopen>::call)},
    {"_ferror", reinterpret_cast<const void*>(&::ferror)},
    {"_fflush", reinterpret_cast<const void*>(&ErrnoSynced<&::fflush>::call)},
    {"_fileno", reinterpret_cast<const void*>(&ErrnoSynced<&::fileno>::call)},
    {"_fmemopen", reinterpret_cast<const void*>(&ErrnoSynced<&::fmemopen>::call)},
    {"_fprintf", reinterpret_cast<const void*>(&fprintf_shim)},
    {"_fputc", reinterpret_cast<const void*>(&ErrnoSynced<&::fputc>::call)},
    {"_fputs", reinterpret_cast<const void*>(&ErrnoSynced<&::fputs>::call)},
    {"_ftell", reinterpret_cast<const void*>(&ErrnoSynced<&::ftell>::call)},
    {"_fwrite", reinterpret_cast<const void*>(&ErrnoSynced<&::fwrite>::call)},
    {"_getc", reinterpret_cast<const void*>(&ErrnoSynced<&::getc>::call)},
    {"_ungetc", reinterpret_cast<const void*>(&ErrnoSynced<&::ungetc>::call)},
    {"_vfprintf", reinterpret_cast<const void*>(&ErrnoSynced<&::vfprintf>::call)},
    {"_open_memstream", reinterpret_cast<const void*>(&ErrnoSynced<&::open_memstream>::call)},
    {"_snprintf", reinterpret_cast<const void*>(&snprintf_shim)},
    {"_sscanf", reinterpret_cast<const void*>(&sscanf_shim)},
    // The _l family: macOS's locale_t values to glibc's locales.
    {"_asprintf_l", reinterpret_cast<const void*>(&asprintf_l_shim)},
    {"_snprintf_l", reinterpret_cast<const void*>(&snprintf_l_shim)},
    {"_sscanf_l", reinterpret_cast<const void*>(&sscanf_l_shim)},
    {"_freelocale", reinterpret_cast<const void*>(&freelocale_shim)},
    {"____mb_cur_max_l", reinterpret_cast<const void*>(&mb_cur_max_l_shim)},
    {"_mbrlen_l", reinterpret_cast<const void*>(&mbrlen_l_shim)},
    {"_mbrtowc_l", reinterpret_cast<const void*>(&mbrtowc_l_shim)},
    {"_mbsnrtowcs_l", reinterpret_cast<const void*>(&mbsnrtowcs_l_shim)},
    {"_mbsrtowcs_l", reinterpret_cast<const void*>(&mbsrtowcs_l_shim)},
    {"_mbtowc_l", reinterpret_cast<const void*>(&mbtowc_l_shim)},
    {"_wcrtomb_l", reinterpret_cast<const void*>(&wcrtomb_l_shim)},
    {"_wcsnrtombs_l", reinterpret_cast<const void*>(&wcsnrtombs_l_shim)},
    {"_strftime_l", reinterpret_cast<const void*>(&strftime_l_shim)},
    {"_strtod_l", reinterpret_cast<const void*>(&strtod_l_shim)},
    {"_strtof_l", reinterpret_cast<const void*>(&strtof_l_shim)},
    {"_strtold_l", reinterpret_cast<const void*>(&strtold_l_shim)},
    {"_strtoll_l", reinterpret_cast<const void*>(&strtoll_l_shim)},
    {"_strtoull_l", reinterpret_cast<const void*>(&strtoull_l_shim)},
    // ctype: the C locale's table, and the runes the inline functions pass on.
    {"__DefaultRuneLocale", &default_rune_locale},
    {"___maskrune", reinterpret_cast<const void*>(&maskrune_shim)},
    {"___maskrune_l", reinterpret_cast<const void*>(&maskrune_l_shim)},
    {"___tolower", reinterpret_cast<const void*>(&tolower_shim)},
    {"___toupper", reinterpret_cast<const void*>(&toupper_shim)},
    // Message catalogs: catopen's flag translated.
    {"_catopen", reinterpret_cast<const void*>(&catopen_shim)},
    {"_catgets", reinterpret_cast<const void*>(&ErrnoSynced<&::catgets>::call)},
    {"_catclose", reinterpret_cast<const void*>(&ErrnoSynced<&::catclose>::call)},
};

}  // namespace

ShimTable stdio_locale_shims() { return {kShims, kShims + sizeof kShims / sizeof kShims[0]}; }

}  // namespace macos
