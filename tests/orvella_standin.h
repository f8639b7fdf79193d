// Lays out the stand-in renderer and live-link library (standins/orvella) at
// the fixed installation paths inside tools/sandbox, and reads what they
// recorded. Built files are copied, so a test may change their permissions.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace orvella_test {

enum class LiveLibrary {
    none,                // no library file in the bundle
    standin,             // qororvellalive6.so (or qororvellalive.so for version 5 and older)
    without_initialize,  // exports no orvella_live_initialize
    abi_check,           // the C library with hand-built tables (tests/livelink_abi_check.c)
};

// Built files.
std::string standin_renderer_file();
std::string standin_library_file(LiveLibrary library, int version);

// Copies `from` to `to` (parents made) with `mode`.
void install_file(const std::string& from, const std::string& to, mode_t mode = 0755);

// /Applications/Orvella<version>[_floating].app/Contents/MacOS/ with the
// stand-in executable ("orvella" or "orvella_floating") and the library;
// returns the executable's path.
std::string install_standin(int version, bool floating, LiveLibrary library);

// The folder where the renderers publish (ORVELLA_STANDIN_DIR is not set by
// these tests) and what the stand-ins recorded there.
std::string channel_directory();
std::vector<pid_t> started_renderers();                   // pids with a command line record
std::vector<std::string> recorded_command_line(pid_t pid);
std::vector<int> recorded_descriptors(pid_t pid);          // open when it started
// Its blocked and ignored signals when it started (bit n - 1 for signal n),
// or all bits when there is no record. The signals the C library keeps for
// itself (glibc: 32 and 33, below SIGRTMIN, which its process start leaves
// ignored) are left out: no program can handle them.
struct SignalState {
    unsigned long long blocked;
    unsigned long long ignored;
};
SignalState recorded_signals(pid_t pid);
bool scene_published(pid_t pid);
std::vector<pid_t> attached_processes();                  // every attach_process argument
bool interleaving_recorded();

// Polls `condition` every 5 ms until it holds or `deadline` passes.
bool wait_until(const std::function<bool()>& condition,
                std::chrono::milliseconds deadline = std::chrono::seconds(20));

}  // namespace orvella_test
