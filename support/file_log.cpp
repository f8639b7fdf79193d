#include "support/file_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <mutex>

#include "support/file_log_for_testing.h"
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

// The size of the open log as a reader would see it: 0 when the user may
// not read it (it is the user's own file, so its owner's read bit decides,
// unless the user is root), so an unreadable log is appended to whatever its
// size. Judged on what was opened, not on the name, which may have been
// replaced since.
std::uint64_t readable_size(const struct stat& info) {
    const bool readable = ::geteuid() == 0 || (info.st_mode & S_IRUSR) != 0;
    return readable && info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

// Whether the open file is the log's alone: a regular file of the user's,
// with no other name. A FIFO in its place would hold the logging thread for
// good; a second name (a hard link planted as the log) or another owner
// makes it somebody's file, not ours to write to, let alone to empty.
bool own_regular_file(const struct stat& info) {
    return S_ISREG(info.st_mode) && info.st_nlink == 1 && info.st_uid == ::geteuid();
}

// Opens the log at `path` as fopen's "a" would, or as "w" would when it has
// reached the fresh-start size. Opened without blocking and never through a
// symbolic link, and kept only when it is the log's own file.
std::FILE* open_regular_log(const std::string& path) {
    const int fd = ::open(path.c_str(),
                          O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !own_regular_file(info)) {
        ::close(fd);
        errno = EINVAL;
        return nullptr;
    }
    // The size is looked at only here, once per process: a log that grows past
    // the limit while we run is started afresh by the next process.
    const bool fresh = readable_size(info) >= kFreshStartSize;
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
    // Never empty: with nothing installed it names a folder that does not
    // exist, and the failed open is reported like any other.
    const std::string directory = installation_finder().orvella_support_directory();
    std::FILE* file = open_regular_log(join_path(directory, "sceneapi.log"));
    if (file == nullptr) {
        std::cerr << "could not open log file:" << std::endl;
        std::perror("opening log");
    }
    return file;
}

// The local time of day of one second.
struct LocalTime {
    int hour;
    int minute;
    int second;
};

// The last second a line was stamped with and its local time of day, packed
// into one word so every thread reads both or neither: the second since the
// epoch above kClockBits, then hour, minute and second of 5, 6 and 6 bits.
// Converting to local time takes the C library's time-zone lock and most of
// a line's cost; lines come in bursts within one second.
constexpr int kClockBits = 17;
constexpr std::uint64_t kClockMask = (std::uint64_t{1} << kClockBits) - 1;
constexpr std::time_t kLastCachedSecond = std::time_t{1} << 40;
std::atomic<std::uint64_t> last_stamp{~std::uint64_t{0}};

LocalTime local_time_of(std::time_t seconds) {
    const bool cacheable = seconds >= 0 && seconds < kLastCachedSecond;
    const std::uint64_t key = cacheable ? static_cast<std::uint64_t>(seconds) << kClockBits : 0;
    if (cacheable) {
        const std::uint64_t stamp = last_stamp.load(std::memory_order_relaxed);
        if ((stamp & ~kClockMask) == key)
            return {static_cast<int>(stamp >> 12 & 31), static_cast<int>(stamp >> 6 & 63),
                    static_cast<int>(stamp & 63)};
    }
    std::tm local {};
    localtime_r(&seconds, &local);
    // A leap second shows as :60; the bits hold up to :63.
    const LocalTime time{local.tm_hour, local.tm_min, local.tm_sec};
    if (cacheable)
        last_stamp.store(key | static_cast<std::uint64_t>(time.hour) << 12 |
                             static_cast<std::uint64_t>(time.minute) << 6 |
                             static_cast<std::uint64_t>(time.second),
                         std::memory_order_relaxed);
    return time;
}

char digit(long value) { return static_cast<char>('0' + value); }

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
    const LocalTime local = local_time_of(seconds);
    const long milliseconds = microseconds / 1000;
    // "HH:MM:SS.mmm": not the locale's "%X", which may be a 12-hour time with
    // AM/PM and would not fit.
    const char text[] = {
        digit(local.hour / 10), digit(local.hour % 10), ':',
        digit(local.minute / 10), digit(local.minute % 10), ':',
        digit(local.second / 10), digit(local.second % 10), '.',
        digit(milliseconds / 100 % 10), digit(milliseconds / 10 % 10), digit(milliseconds % 10)};
    return std::string(text, sizeof text);
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

void Output2FILE::write_line(const char* text) {
    std::FILE* file = log_file();
    if (file == nullptr) return;
    std::fputs(text, file);
    std::fflush(file);
}

}  // namespace orvella
