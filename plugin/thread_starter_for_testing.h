// What tests replace in the hand-off thread's start: thread creation that
// fails, or a thread held until the test lets it run.
#pragma once

#include <functional>

#include "plugin/thread_starter.h"

namespace orvella {

// Runs `body` on a new thread and detaches it; throws std::system_error when
// no thread can be made.
using ThreadStarter = void (*)(std::function<void()> body);

// Replaces what start_detached_thread runs (null restores the standard one)
// and returns the one replaced. Not for use while a render runs.
ThreadStarter set_thread_starter(ThreadStarter starter);

}  // namespace orvella
