// Keeps the plug-in's own library loaded while hand-off threads may run.
#pragma once

namespace orvella {

// Host thread, before a hand-off thread starts. From the first successful
// call on, the plug-in's library stays mapped until the process ends: the
// host may unload it (its "reload plug-ins" entry) while a hand-off thread
// still runs the library's code, and a later load of the same file finds this
// copy again. True when the library is pinned; false when it cannot be named
// or opened, which is then not tried again.
bool pin_plugin_library();

}  // namespace orvella
