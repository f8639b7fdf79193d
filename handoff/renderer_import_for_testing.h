// What tests and benchmarks reach inside the renderer import: the launch and
// one poll attempt on their own, and the pace of the poll. The plug-in calls
// only import_into_orvella (handoff/renderer_import.h).
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <ctime>
#include <string>

#include "handoff/renderer_import.h"

namespace orvella {

class ReplyMemory;

// Starts `executable` with the command line (executable, "-import",
// request.path), the host's environment and working directory, and of the
// host's descriptors only the standard streams. Returns the new process id,
// or -1 when the file is not readable, or no process could be created, or
// the file could not be executed (then no process is left behind).
pid_t launch_orvella(const ImportRequest& request, const std::string& executable);

// One attempt: asks the live-link library for process `pid`'s scene and
// searches it. True when the model is confirmed. Holds the live-link lock
// from fetching the query interface until the reply is copied into `memory`,
// the hand-off's own. Parses the reply only when that could confirm: not
// when it is the very reply of the last attempt that parsed without
// confirming, nor when it cannot hold the name (handoff/reply_screen.h). A
// reply longer than kMaxSceneReplyBytes (handoff/scene_search.h) is not
// copied and does not confirm.
bool check_imported_model(const ImportRequest& request, pid_t pid, ReplyMemory& memory);

// The processor-time clock and the sleep that pace the poll. The plug-in uses
// std::clock and usleep; a test puts others in place before any hand-off
// starts, so a timeout need not burn 20 s of processor time. A null member
// puts the standard one back.
struct PollPace {
    std::clock_t (*clock)();
    int (*sleep)(useconds_t microseconds);
};
void set_poll_pace(PollPace pace);

}  // namespace orvella
