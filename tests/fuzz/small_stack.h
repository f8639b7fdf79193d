// The stack the plug-in parses outside XML on at the least: a fuzz target's
// work runs on a thread of the hand-off thread's stack size (512 KiB, what
// macOS gives any secondary thread, and what this sanitizer build adds to it
// for its larger frames), where a parse nested too deep faults at once
// instead of passing on Linux's 8 MiB.
#pragma once

#include <functional>

namespace orvella_fuzz {

// Runs `body` on a new thread with a stack of orvella::kHandOffThreadStack and
// waits for it to end.
void run_on_small_stack(const std::function<void()>& body);

}  // namespace orvella_fuzz
