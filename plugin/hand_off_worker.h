// The hand-off of one exported garment, on a thread of its own so that the
// host's thread is free at once.
#pragma once

#include <string>

namespace orvella {

// The worker thread's body. Takes copies of the garment name, the exported
// file's path and the plug-in's identifier, made on the host's thread: the
// host may unload the plug-in or quit, destroying the settings record, while
// the worker still runs. Hands the file to Orvella
// (blocking for the whole poll), deletes the file whatever the outcome, and
// on failure asks the host, through a session request with callback id 1, to
// show "Import failed with error: " and the status word on its own thread.
// That request is the worker's only host call. Nothing escapes it: a thread
// that threw would end the host process.
void hand_off_worker(std::string garment_name, std::string path,
                     std::string identifier) noexcept;

}  // namespace orvella
