// Hands an exported garment to Orvella and finds out whether it arrived.
//
// Called by the hand-off worker thread, never the host's thread:
//
//     ImportRequest request{name, path};
//     import_into_orvella(request);   // blocks for the whole poll
//     if (request.status != kImportConfirmed) ... report the status word
//
// import_into_orvella starts the newest installed Orvella (versions 20 down
// to 8) as a new process with "-import" and the file, then once a second asks
// the live-link library about that process's scene until a model of the
// request's name shows up in an active model set, or until 20 seconds of the
// host process's processor time (whole seconds) have gone by, or until an
// attempt that does not confirm finds the renderer ended: that one is reaped
// and the poll ends at once, unconfirmed. The renderer is only ever looked
// at with a non-blocking waitpid; while it lives it runs on independently.
// Several hand-offs may run at once on their own threads.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <ctime>
#include <string>

namespace orvella {

class ReplyMemory;

// Status values of ImportRequest, and the words the worker reports them by.
enum ImportStatus : int {
    kImportUnknown = -1,         // "UNKNOWN": the hand-off ended before the import said
    kImportConfirmed = 0,        // nothing is reported
    kInstallationNotFound = 1,   // "ORVELLA INSTALLATION NOT FOUND"
    kProcessNotCreated = 2,      // "CREATE ORVELLA PROCESS FAILED"
    kImportNotConfirmed = 3,     // "ORVELLA IMPORT FAILED"
};

// One hand-off. The worker makes and owns it; status starts at 0 and is
// written by import_into_orvella only on failure.
struct ImportRequest {
    std::string name;  // the garment's name; the model must carry exactly it
    std::string path;  // full path of the exported file, passed after "-import"
    int status = kImportConfirmed;
};

void import_into_orvella(ImportRequest& request);

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

// The processor-time clock and the sleep that pace the poll. Production uses
// std::clock and usleep; a test (or an in-process test host) can put others
// in place before any hand-off starts, so a timeout need not burn 20 s of
// processor time. A null member puts the production one back. Not exported
// from the plug-in.
struct PollPace {
    std::clock_t (*clock)();
    int (*sleep)(useconds_t microseconds);
};
void set_poll_pace(PollPace pace);

}  // namespace orvella
