// Starts a program as a new process that gets nothing of the caller's but
// its environment, its working directory and the three standard streams.
// Its signals start as a launcher starts them: none blocked, all at their
// default action.
#pragma once

#include <sys/types.h>

namespace orvella {

// Starts the program at `path` with the argument vector `arguments` (null
// terminated; arguments[0] names the program). Every descriptor of the
// caller except standard input, output and error is closed in the new
// process, whether or not it was opened close-on-exec: a renderer must not
// keep a lock the host holds on the user's document. No signal is blocked
// in it and every signal has its default action, whatever the calling
// thread blocks and the host ignores or handles. Returns the new
// process's id, or -1 when no process could be created or its program could
// not be executed (no execute permission, not a program, no such file); such
// a failure leaves no process behind. Safe on any thread: nothing of the
// caller runs in the new process before the program does.
pid_t start_process(const char* path, char* const arguments[]);

}  // namespace orvella
