/* stdio, locale, ctype and message catalogs: the values the _l family, the
 * rune table and catopen translate. */
#include <ctype.h>
#include <nl_types.h>
#include <runetype.h>
#include <stdarg.h>
#include <stdio.h>
#include <time.h>
#include <wchar.h>
#include <xlocale.h>

#include "probe.h"

#define CTYPE_BITS(X) \
    X(_CTYPE_A) X(_CTYPE_C) X(_CTYPE_D) X(_CTYPE_G) X(_CTYPE_L) X(_CTYPE_P)  \
    X(_CTYPE_S) X(_CTYPE_U) X(_CTYPE_X) X(_CTYPE_B) X(_CTYPE_R) X(_CTYPE_I)  \
    X(_CTYPE_T) X(_CTYPE_Q) X(_CTYPE_SW0) X(_CTYPE_SW1) X(_CTYPE_SW2)         \
    X(_CTYPE_SW3) X(_CTYPE_SWM) X(_CTYPE_SWS)

void probe_stdio_locale(void) {
    /* The variadic shims hand their arguments on as a va_list. */
    ABI_SIZE(VA_LIST, va_list);

    /* locale_t: the C locale and the global locale are values, not objects. */
    ABI_SIZE(LOCALE_T, locale_t);
    ABI_VALUE("LC_GLOBAL_LOCALE", (long long)(__INTPTR_TYPE__)LC_GLOBAL_LOCALE);
    ABI_VALUE("LC_C_LOCALE", (long long)(__INTPTR_TYPE__)LC_C_LOCALE);

    /* The multibyte conversion state the caller owns. */
    ABI_SIZE(MBSTATE_T, mbstate_t);
    ABI_VALUE("ALIGNOF_MBSTATE_T", _Alignof(mbstate_t));
    ABI_SIZE(WCHAR_T, wchar_t);
    ABI_SIZE(CT_RUNE_T, __darwin_ct_rune_t);
    ABI_CONST(EOF);

    /* The character table the ctype inlines read. */
#define PROBE(name) ABI_VALUE(#name, name);
    CTYPE_BITS(PROBE)
#undef PROBE
    ABI_CONST(_CACHED_RUNES);
    ABI_SIZE(RUNE_LOCALE, _RuneLocale);
    ABI_MEMBER(RUNE_LOCALE, _RuneLocale, __magic);
    ABI_MEMBER(RUNE_LOCALE, _RuneLocale, __encoding);
    ABI_MEMBER(RUNE_LOCALE, _RuneLocale, __sgetrune);
    ABI_MEMBER(RUNE_LOCALE, _RuneLocale, __sputrune);
    ABI_MEMBER(RUNE_LOCALE, _RuneLocale, __invalid_rune);
    ABI_MEMBER(RUNE_LOCALE, _RuneLocale, __runetype);
    ABI_MEMBER(RUNE_LOCALE, _RuneLocale, __maplower);
    ABI_MEMBER(RUNE_LOCALE, _RuneLocale, __mapupper);
    ABI_MEMBER(RUNE_LOCALE, _RuneLocale, __runetype_ext);
    ABI_MEMBER(RUNE_LOCALE, _RuneLocale, __maplower_ext);
    ABI_MEMBER(RUNE_LOCALE, _RuneLocale, __mapupper_ext);
    ABI_MEMBER(RUNE_LOCALE, _RuneLocale, __variable);
    ABI_MEMBER(RUNE_LOCALE, _RuneLocale, __variable_len);
    ABI_MEMBER(RUNE_LOCALE, _RuneLocale, __ncharclasses);
    ABI_MEMBER(RUNE_LOCALE, _RuneLocale, __charclasses);
    ABI_SIZE(RUNE_RANGE, _RuneRange);
    ABI_MEMBER(RUNE_RANGE, _RuneRange, __nranges);
    ABI_MEMBER(RUNE_RANGE, _RuneRange, __ranges);
    /* The magic, a character at a time (no terminator: it fills __magic). */
    ABI_VALUE("RUNE_MAGIC_A_LENGTH", sizeof(_RUNE_MAGIC_A) - 1);
    ABI_VALUE("RUNE_MAGIC_A_0", _RUNE_MAGIC_A[0]);
    ABI_VALUE("RUNE_MAGIC_A_1", _RUNE_MAGIC_A[1]);
    ABI_VALUE("RUNE_MAGIC_A_2", _RUNE_MAGIC_A[2]);
    ABI_VALUE("RUNE_MAGIC_A_3", _RUNE_MAGIC_A[3]);
    ABI_VALUE("RUNE_MAGIC_A_4", _RUNE_MAGIC_A[4]);
    ABI_VALUE("RUNE_MAGIC_A_5", _RUNE_MAGIC_A[5]);
    ABI_VALUE("RUNE_MAGIC_A_6", _RUNE_MAGIC_A[6]);
    ABI_VALUE("RUNE_MAGIC_A_7", _RUNE_MAGIC_A[7]);

    /* strftime_l reads the caller's struct tm. */
    ABI_SIZE(TM, struct tm);
    ABI_MEMBER(TM, struct tm, tm_sec);
    ABI_MEMBER(TM, struct tm, tm_min);
    ABI_MEMBER(TM, struct tm, tm_hour);
    ABI_MEMBER(TM, struct tm, tm_mday);
    ABI_MEMBER(TM, struct tm, tm_mon);
    ABI_MEMBER(TM, struct tm, tm_year);
    ABI_MEMBER(TM, struct tm, tm_wday);
    ABI_MEMBER(TM, struct tm, tm_yday);
    ABI_MEMBER(TM, struct tm, tm_isdst);
    ABI_MEMBER(TM, struct tm, tm_gmtoff);
    ABI_MEMBER(TM, struct tm, tm_zone);

    /* Message catalogs: a handle, and catopen's one flag. */
    ABI_SIZE(NL_CATD, nl_catd);
    ABI_CONST(NL_CAT_LOCALE);
}
