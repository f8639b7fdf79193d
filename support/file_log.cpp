#include "support/file_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <iostream>
#include <mutex>

#include "support/file_utils.h"
#include "support/installation_finder.h"
#include "support/never_destroyed.h"

namespace orvella {

std::int32_t log_threshold = logDEBUG4;

namespace {

constexpr std::uint64_t kFreshStartSize = 20u * 1024u * 1024u;  // 0x1400000

const char* const kLevelNames[] = {"ERROR",  "WARNING", "INFO",   "DEBUG", "DEBUG1",
                                   "DEBUG2", "DEBUG3",  "DEBUG4", "NONE"};

// Written once, under the mutex, when an open succeeds; read lock-free
// afterwards. The file is never closed: the log lives as long as the process,
// and so does the mutex, since a hand-off thread may log while the host quits.
std::atomic<std::FILE*> log_handle{nullptr};
std::mutex& log_open_mutex() {
    static NeverDestroyed<std::mutex> mutex;
    return mutex.get();
}

// The size of the file as a reader sees it: 0 when it cannot be opened for
// reading, so an unreadable log is appended to whatever its size.
std::uint64_t readable_size(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return 0;
    struct stat info {};
    const bool known = ::fstat(fd, &info) == 0 && info.st_size > 0;
    ::close(fd);
    return known ? static_cast<std::uint64_t>(info.st_size) : 0;
}

// Opens the log at `path` as fopen's "a" would, or as "w" would when it has
// reached the fresh-start size. Opened without blocking and taken only when
// it is a regular file: a FIFO in its place would hold the logging thread
// for good. Never through a symbolic link: the file it leads to is not ours
// to write to, let alone to empty.
std::FILE* open_regular_log(const std::string& path) {
    const int fd = ::open(path.c_str(),
                          O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return nullptr;
    }
    // The size is looked at only here, once per process: a log that grows past
    // the limit while we run is started afresh by the next process.
    const bool fresh = readable_size(path) >= kFreshStartSize;
    const int flags = ::fcntl(fd, F_GETFL);
    std::FILE* file = nullptr;
    if (flags >= 0 && (!fresh || ::ftruncate(fd, 0) == 0) &&
        ::fcntl(fd, F_SETFL, (flags & ~O_NONBLOCK) | (fresh ? 0 : O_APPEND)) == 0) {
        file = ::fdopen(fd, fresh ? "w" : "a");
    }
    if (file == nullptr) ::close(fd);
    return file;
}

std::FILE* open_log() {
    const std::string directory = installation_finder().orvella_support_directory();
    if (directory.empty()) return nullptr;
    std::FILE* file = open_regular_log(join_path(directory, "sceneapi.log"));
    if (file == nullptr) {
        std::cerr << "could not open log file:" << std::endl;
        std::perror("opening log");
    }
    return file;
}

}  // namespace

const char* log_level_name(std::int32_t level) {
    if (level < 0 || level >= static_cast<std::int32_t>(sizeof kLevelNames / sizeof *kLevelNames))
        return "NONE";
    return kLevelNames[level];
}

const char* log_source_name(const char* source_file) {
    const char* name = source_file;
    for (const char* p = source_file; *p != '\0'; ++p)
        if (*p == '/' || *p == '\\') name = p + 1;
    return name;
}

std::string log_time_text(std::time_t seconds, long microseconds) {
    std::tm local {};
    localtime_r(&seconds, &local);
    // Not "%X": the host's locale may make that a 12-hour time with AM/PM,
    // which would not fit.
    char time_of_day[16] = "";
    if (std::strftime(time_of_day, sizeof time_of_day, "%H:%M:%S", &local) == 0) time_of_day[0] = '\0';
    // Room for any long, which an unoptimised build's warning asks for.
    char text[sizeof time_of_day + 24];
    std::snprintf(text, sizeof text, "%s.%03ld", time_of_day, microseconds / 1000);
    return text;
}

std::string log_time_text() {
    // Seconds and milliseconds come from one reading of the clock, so a line
    // written at a second's turn cannot show the old second with the new
    // second's milliseconds.
    struct timeval now {};
    ::gettimeofday(&now, nullptr);
    return log_time_text(now.tv_sec, static_cast<long>(now.tv_usec));
}

std::FILE* Output2FILE::log_file() {
    if (std::FILE* file = log_handle.load(std::memory_order_acquire)) return file;
    std::lock_guard<std::mutex> lock(log_open_mutex());
    std::FILE* file = log_handle.load(std::memory_order_relaxed);
    if (file == nullptr) {
        file = open_log();
        if (file != nullptr) log_handle.store(file, std::memory_order_release);
    }
    return file;
}

void Output2FILE::write_line(const std::string& text) {
    std::FILE* file = log_file();
    if (file == nullptr) return;
    std::fputs(text.c_str(), file);
    std::fflush(file);
}

}  // namespace orvella
