// The stack the plug-in parses outside XML on at the least: a fuzz target's
// work runs on a thread of the hand-off thread's stack size (512 KiB, what
// macOS gives any secondary thread), where a parse nested too deep faults at
// once instead of passing on Linux's 8 MiB. It is the plain size even in
// this instrumented build, whose hand-off threads get more: a parse at
// TinyXML's nesting limit fits it all the same (docs/stack.md).
#pragma once

#include <functional>

namespace orvella_fuzz {

// Runs `body` on a thread with a stack of orvella::kHandOffStackSize (one
// for the whole run) and waits for it to end.
void run_on_small_stack(const std::function<void()>& body);

}  // namespace orvella_fuzz
