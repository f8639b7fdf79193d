// A macOS locale_t as the image hands it to the _l family. The image makes
// no locale objects of its own (nothing binds newlocale or duplocale), so the
// values it can pass are the two the headers name: the C locale (null) and
// the global locale. Each is run under the glibc locale that stands for it.
#ifndef ORVELLA_STANDINS_MACOS_MAC_LOCALE_H
#define ORVELLA_STANDINS_MACOS_MAC_LOCALE_H

#include <clocale>

namespace macos {

// The image's locale_t: an opaque pointer.
using MacLocale = struct MacLocaleObject*;

// While it lives, the calling thread runs under the glibc locale that stands
// for LOCALE; valid() is false for a value that stands for none, and the
// thread's locale is then unchanged.
class ThreadLocale {
public:
    explicit ThreadLocale(MacLocale locale);
    ~ThreadLocale();
    ThreadLocale(const ThreadLocale&) = delete;
    ThreadLocale& operator=(const ThreadLocale&) = delete;

    bool valid() const { return previous_ != nullptr; }

private:
    locale_t previous_ = nullptr;
};

// For a call with no way to report a failure: says which call got a locale
// it cannot stand for, and aborts.
[[noreturn]] void unknown_locale(const char* call, MacLocale locale);

}  // namespace macos

#endif
