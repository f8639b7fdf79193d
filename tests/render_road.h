// A host session for the whole render road: the settings, the stand-in host
// library, the stand-in renderer at the fixed paths, and waiting for the
// plug-in's hand-off workers to finish.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "host_calls.h"
#include "standins/garvento/standin_control.h"

namespace orvella_test {

// The textures directory every render road test exports into.
const std::string kRoadTextures = "/tmp/tex";

// Stores the preferences file with the include-avatar text and the textures
// directory (made when missing).
void store_textures_dir(const std::string& directory);

// A fresh host on this thread, the preferences pointing at kRoadTextures.
// Call through ASSERT_NO_FATAL_FAILURE.
void start_host_session();

// Threads of this process now.
inline std::size_t thread_count() { return standin::process_threads(); }

// Runs the host's pump until every exported file is gone, `requests`
// session requests are delivered and the process is back to `threads`
// threads (so no hand-off worker runs any more), or `deadline` passes.
bool wait_for_hand_offs(std::size_t requests, std::size_t threads,
                        std::chrono::milliseconds deadline = std::chrono::seconds(30));

}  // namespace orvella_test
