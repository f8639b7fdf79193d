// How the render command starts a detached hand-off thread, replaceable so
// that tests can make thread creation fail.
#pragma once

#include <cstddef>
#include <functional>

namespace orvella {

// The stack of every hand-off thread, the same on every platform (macOS
// would give a secondary thread 512 KiB, Linux 8 MiB).
constexpr std::size_t kHandOffStackSize = 512 * 1024;

// What a sanitizer build adds to it, so that the same work fits there with
// the same reserve. Instrumented frames are larger than the plain build's: a
// parse at TinyXML's nesting limit takes about 2.2 times the stack under
// AddressSanitizer and 1.6 times under ThreadSanitizer (docs/benchmarks.md,
// "Nesting limit"). ThreadSanitizer also keeps its per-thread state (768 KiB
// with gcc 12) in static TLS, which glibc carves from the top of the
// thread's stack: of a 512 KiB request it left the thread 128 KiB.
#if defined(__SANITIZE_THREAD__)
constexpr std::size_t kSanitizerStackAllowance = (768 + 512) * 1024;
#elif defined(__SANITIZE_ADDRESS__)
constexpr std::size_t kSanitizerStackAllowance = 1024 * 1024;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr std::size_t kSanitizerStackAllowance = (768 + 512) * 1024;
#elif __has_feature(address_sanitizer)
constexpr std::size_t kSanitizerStackAllowance = 1024 * 1024;
#else
constexpr std::size_t kSanitizerStackAllowance = 0;
#endif
#else
constexpr std::size_t kSanitizerStackAllowance = 0;
#endif

// The stack this build gives a hand-off thread.
constexpr std::size_t kHandOffThreadStack = kHandOffStackSize + kSanitizerStackAllowance;

// Runs `body` on a new thread and detaches it. Throws std::system_error
// when no thread can be made, as std::thread does.
using ThreadStarter = void (*)(std::function<void()> body);

// Host thread. Starts `body` through the current starter; the standard one
// gives the thread a stack of kHandOffThreadStack.
void start_detached_thread(std::function<void()> body);

// Tests: replaces the starter (null restores the standard one) and returns
// the one replaced. Not for use while a render runs.
ThreadStarter set_thread_starter(ThreadStarter starter);

}  // namespace orvella
