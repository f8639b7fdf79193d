// How the render command starts a detached hand-off thread, replaceable so
// that tests can make thread creation fail.
#pragma once

#include <cstddef>
#include <functional>

namespace orvella {

// The stack of every hand-off thread, the same on every platform (macOS
// would give a secondary thread 512 KiB, Linux 8 MiB).
constexpr std::size_t kHandOffStackSize = 512 * 1024;

// Runs `body` on a new thread and detaches it. Throws std::system_error
// when no thread can be made, as std::thread does.
using ThreadStarter = void (*)(std::function<void()> body);

// Host thread. Starts `body` through the current starter; the standard one
// gives the thread a stack of kHandOffStackSize.
void start_detached_thread(std::function<void()> body);

// Tests: replaces the starter (null restores the standard one) and returns
// the one replaced. Not for use while a render runs.
ThreadStarter set_thread_starter(ThreadStarter starter);

}  // namespace orvella
