// How the render command starts a detached hand-off thread.
#pragma once

#include <cstddef>
#include <functional>

namespace orvella {

// The stack of every hand-off thread, the same on every platform (macOS
// would give a secondary thread 512 KiB, Linux 8 MiB).
constexpr std::size_t kHandOffStackSize = 512 * 1024;

// What this build adds to it, so that the same work fits with the same
// reserve (docs/stack.md, "Nesting limit"): sanitizers and unoptimised
// code take more stack per call, and ThreadSanitizer also keeps its
// per-thread state in static TLS, which glibc carves from the top of the
// thread's stack.
#if defined(__has_feature)
#define ORVELLA_HAS_FEATURE(feature) __has_feature(feature)
#else
#define ORVELLA_HAS_FEATURE(feature) 0
#endif
#if defined(__SANITIZE_THREAD__) || ORVELLA_HAS_FEATURE(thread_sanitizer)
constexpr std::size_t kBuildStackAllowance = (768 + 512) * 1024;  // its state, larger frames
#elif defined(__SANITIZE_ADDRESS__) || ORVELLA_HAS_FEATURE(address_sanitizer)
constexpr std::size_t kBuildStackAllowance = 1024 * 1024;  // larger frames
#elif !defined(__OPTIMIZE__)
constexpr std::size_t kBuildStackAllowance = 512 * 1024;  // larger frames, nothing inlined
#else
constexpr std::size_t kBuildStackAllowance = 0;
#endif
#undef ORVELLA_HAS_FEATURE

// The stack this build gives a hand-off thread.
constexpr std::size_t kHandOffThreadStack = kHandOffStackSize + kBuildStackAllowance;

// Host thread. Runs `body` on a new thread with a stack of
// kHandOffThreadStack and detaches it. Throws std::system_error when no
// thread can be made, as std::thread does.
void start_detached_thread(std::function<void()> body);

}  // namespace orvella
