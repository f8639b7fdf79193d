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

#include <string>

namespace orvella {

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

}  // namespace orvella
