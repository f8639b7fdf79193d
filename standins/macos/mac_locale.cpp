// Running a call under the glibc locale that stands for a macOS locale_t.
#include "standins/macos/mac_locale.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "macos_abi/stdio_locale_abi.h"

namespace macos {
namespace {

static_assert(sizeof(MacLocale) == MACOS_SIZEOF_LOCALE_T);

// glibc's C locale object: static in the C library, never freed.
locale_t c_locale() {
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", nullptr);
    return c;
}

}  // namespace

ThreadLocale::ThreadLocale(MacLocale locale) {
    const auto value = reinterpret_cast<std::intptr_t>(locale);
    locale_t target = nullptr;
    if (value == MACOS_LC_C_LOCALE)
        target = c_locale();
    else if (value == MACOS_LC_GLOBAL_LOCALE)
        target = LC_GLOBAL_LOCALE;
    if (target != nullptr) previous_ = ::uselocale(target);
}

ThreadLocale::~ThreadLocale() {
    if (previous_ != nullptr) ::uselocale(previous_);
}

void unknown_locale(const char* call, MacLocale locale) {
    std::fprintf(stderr, "libSystem stand-in: %s: locale_t %p is neither the C nor the global locale\n",
                 call, static_cast<void*>(locale));
    std::abort();
}

}  // namespace macos
