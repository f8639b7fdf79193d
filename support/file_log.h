// The diagnostic log "sceneapi.log" in Orvella's support directory.
//
// Every message is written with the statement form
//
//     LOG_LINE(logDEBUG) << "shared_library_open: " << path;
//
// which produces exactly one line:
//
//     orvellalive_loader.cpp:57 - 14:03:09.007 DEBUG:  shared_library_open: /path
//
// (source file name after its last "/" or "\", line, local time of day with
// milliseconds, level name, two spaces, the message, a newline). A statement
// whose level is above `log_threshold` costs one comparison: its operands are
// not evaluated and the file is not touched; neither are they while the file
// cannot be opened.
//
// The file is opened by the first statement that passes the threshold and
// then stays open, in the mode chosen then, until the process ends: a file of
// 20 MiB or more is started afresh, anything smaller is appended to. Only a
// regular file of the user's own is taken, opened without blocking and never
// through a link: a FIFO, a device, a socket, a symbolic link, a file with
// another name besides (a hard link) or one owned by someone else in its
// place counts as a log that cannot be opened. Until it opens, every passing
// statement tries again and reports the failure on standard error.
// Statements may run on any thread at the same time: the open is guarded so
// the file is opened once, each line is built in the statement's own
// LogLine and reaches the file with one fputs and one fflush. The time of
// day is worked out once a second, for all threads. Nothing here throws into
// the caller.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "support/log_line.h"

namespace orvella {

// Severity; a lower number is more severe.
enum LogLevel : std::int32_t {
    logERROR = 0,
    logWARNING = 1,
    logINFO = 2,
    logDEBUG = 3,
    logDEBUG1 = 4,
    logDEBUG2 = 5,
    logDEBUG3 = 6,
    logDEBUG4 = 7,
    logNONE = 8,
};

// A statement of level L is written only when L <= log_threshold. It starts
// at DEBUG4 and nothing in the plug-in changes it.
extern std::int32_t log_threshold;

// "ERROR" ... "NONE"; "NONE" for a value outside the nine levels.
const char* log_level_name(std::int32_t level);

// The part of a source path after its last "/" or "\" (all of it when it has
// neither).
const char* log_source_name(const char* source_file);

// Local time of day with milliseconds, "HH:MM:SS.mmm" (24-hour) whatever the
// locale.
std::string log_time_text();

// Output policy owning the log file. Class-level only.
class Output2FILE {
public:
    Output2FILE() = delete;

    // The process-wide handle, opening the file first while it is null;
    // null when the file cannot be opened (both failure lines then go to
    // standard error). Safe to call from several threads at once: the file is
    // opened once, with one mode. Returned by value because another thread may
    // be opening it while the caller looks.
    static std::FILE* log_file();

    // One fputs of the text and one fflush; nothing when there is no file.
    static void write_line(const char* text);
};

// Collects one line and hands it to Output::write_line when destroyed.
template <typename Output>
class Log {
public:
    Log() = default;
    virtual ~Log();

    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    // Writes the header (everything before the message) and returns the
    // line that takes the message's insertions.
    LogLine& begin_line(std::int32_t level, const char* source_file, int source_line);

private:
    LogLine line_;
};

class FILELog : public Log<Output2FILE> {
public:
    ~FILELog() override = default;
};

template <typename Output>
LogLine& Log<Output>::begin_line(std::int32_t level, const char* source_file, int source_line) {
    line_ << log_source_name(source_file) << ':' << source_line << " - " << log_time_text()
          << ' ' << log_level_name(level) << ": " << ' ';
    return line_;
}

template <typename Output>
Log<Output>::~Log() {
    line_.end_line();
    Output::write_line(line_.c_str());
}

}  // namespace orvella

// The statement form; see the top of this file. A loop of at most one pass
// rather than an if, so the statement can stand as the body of the caller's
// own if/else without capturing its else.
#define LOG_LINE(level)                                                           \
    for (bool orvella_log_line_pass_ =                                            \
             static_cast<std::int32_t>(level) <= ::orvella::log_threshold &&      \
             ::orvella::Output2FILE::log_file() != nullptr;                       \
         orvella_log_line_pass_; orvella_log_line_pass_ = false)                  \
        ::orvella::FILELog().begin_line((level), __FILE__, __LINE__)
