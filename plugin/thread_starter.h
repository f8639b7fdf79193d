// How the render command starts a detached hand-off thread, replaceable so
// that tests can make thread creation fail.
#pragma once

#include <functional>

namespace orvella {

// Runs `body` on a new thread and detaches it. Throws std::system_error
// when no thread can be made, as std::thread does.
using ThreadStarter = void (*)(std::function<void()> body);

// Host thread. Starts `body` through the current starter.
void start_detached_thread(std::function<void()> body);

// Tests: replaces the starter (null restores std::thread) and returns the
// one replaced. Not for use while a render runs.
ThreadStarter set_thread_starter(ThreadStarter starter);

}  // namespace orvella
