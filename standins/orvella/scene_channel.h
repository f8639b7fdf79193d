// The per-process scene channel between the stand-in renderer and the
// stand-in live-link library. Each renderer process P publishes its scene as
// <dir>/P.xml (written to a temporary name and renamed, so a reader never sees
// half a scene) and removes it when it ends; it records its command line in
// <dir>/P.cmdline (arguments separated by NUL bytes), and the descriptors it
// was started with in <dir>/P.fds (one number per line), and the signal
// state it was started with in <dir>/P.signals (the "SigBlk:" and "SigIgn:"
// lines of /proc/self/status). The library records
// every process id given to attach_process in <dir>/attached, one per line,
// and each scene read on a thread that did not attach it in <dir>/interleaved.
// <dir> is $ORVELLA_STANDIN_DIR, or /tmp/orvella-standin.
#pragma once

#include <string>

namespace orvella_standin {

std::string channel_directory();
std::string scene_path(long pid);
std::string command_line_path(long pid);
std::string descriptors_path(long pid);
std::string signals_path(long pid);
std::string attached_path();
std::string interleaved_path();

// Integer environment knob, or `fallback` when unset or not a number.
long env_number(const char* name, long fallback);
// Text environment knob, or `fallback` when unset.
std::string env_text(const char* name, const char* fallback);

// Whole file into `text`; false when it cannot be read.
bool read_whole_file(const std::string& path, std::string& text);
// Writes to a temporary name beside `path` and renames it over `path`.
bool publish_file(const std::string& path, const std::string& text);
// Appends one line with a single write (lines of concurrent writers stay whole).
void append_line(const std::string& path, const std::string& line);

}  // namespace orvella_standin
