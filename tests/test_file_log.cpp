#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <new>
#include <filesystem>
#include <ctime>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sandbox_files.h"
#include "support/file_log.h"
#include "support/file_log_for_testing.h"

using namespace orvella;
using namespace orvella_test;

namespace {

// Output policy that keeps the last line instead of writing a file.
struct CaptureOutput {
    static std::string last;
    static void write_line(const std::string& text) { last = text; }
};
std::string CaptureOutput::last;

const std::string kSupport = "/Library/Application Support/Orvella9/";
const std::string kLogPath = kSupport + "/sceneapi.log";
const char* const kTimePattern = "[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}";

constexpr off_t kMiB = 1024 * 1024;

void make_sparse(const std::string& path, off_t size) {
    write_file(path, "");
    ASSERT_EQ(0, ::truncate(path.c_str(), size));
}

off_t size_of(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_size : -1;
}

int evaluations = 0;
int evaluated() { return ++evaluations; }

class FileLogTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(in_sandbox()); }
    void install() {
        install_bundle(9, false);
        make_directories(kSupport);
    }
};

}  // namespace

TEST(LogLine, LayoutOfEveryPart) {
    struct Case { const char* source; int level; const char* message; const char* expected; };
    const Case cases[] = {
        {"src/importers/sceneapi/dev/orvellalive_loader.cpp", logDEBUG, "shared_library_open: /x",
         "orvellalive_loader.cpp:42 - T DEBUG:  shared_library_open: /x\n"},
        {"C:\\work\\dev\\loader.cpp", logWARNING, "NO shared handle",
         "loader.cpp:42 - T WARNING:  NO shared handle\n"},
        {"a/b\\c/mixed.cpp", logERROR, "m", "mixed.cpp:42 - T ERROR:  m\n"},
        {"a\\b/mixed2.cpp", logINFO, "m", "mixed2.cpp:42 - T INFO:  m\n"},
        {"bare.cpp", logDEBUG4, "", "bare.cpp:42 - T DEBUG4:  \n"},
        {"dir/", logDEBUG1, "two\nlines", ":42 - T DEBUG1:  two\nlines\n"},
    };
    for (const Case& c : cases) {
        { Log<CaptureOutput>().begin_line(c.level, c.source, 42) << c.message; }
        // The time is the one part that changes; check its form and compare
        // the rest exactly.
        std::string line = CaptureOutput::last;
        std::smatch time;
        ASSERT_TRUE(std::regex_search(line, time, std::regex(kTimePattern))) << line;
        line.replace(time.position(), time.length(), "T");
        EXPECT_EQ(c.expected, line) << c.source;
    }
    { Log<CaptureOutput>().begin_line(logDEBUG3, "x", -7) << 12 << ' ' << 3.5; }
    EXPECT_NE(std::string::npos, CaptureOutput::last.find("x:-7 - "));
    EXPECT_NE(std::string::npos, CaptureOutput::last.find(" DEBUG3:  12 3.5\n"));
}

// The message reads as a standard stream would print it, whatever the
// inserted values and however long the line.
TEST(LogLine, MessageIsPrintedAsAStreamPrintsIt) {
    auto check = [](const auto&... values) {
        std::ostringstream expected;
        (expected << ... << values);
        { (Log<CaptureOutput>().begin_line(logINFO, "f.cpp", 1) << ... << values); }
        const std::string line = CaptureOutput::last;
        const std::string::size_type message = line.find(" INFO:  ") + 8;
        EXPECT_EQ(expected.str() + "\n", line.substr(message)) << line;
    };
    int local = 0;
    check(0, -1, INT_MIN, INT_MAX, LLONG_MIN, ULLONG_MAX, 0u, 42ul, std::size_t{7}, -3l);
    check(static_cast<const void*>(nullptr), static_cast<const void*>(&local), &local);
    check('c', "text", std::string("string"), std::string(), static_cast<const char*>("ptr"));
    check(3.5, true, short{-2});
    // Across the end of the room a line is built in, and far beyond it.
    for (std::size_t length = 460; length < 520; ++length) check(std::string(length, 'x'), 12);
    check(std::string(100000, 'y'), "tail");
}

// The replaced allocation functions below pair operator new with free by
// design; gcc, seeing both inlined, would call each pairing a mismatch.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {
std::atomic<bool> counting_allocations{false};
std::atomic<int> allocations{0};
std::atomic<bool> refusing_allocations{false};
}  // namespace

void* operator new(std::size_t size) {
    if (refusing_allocations) throw std::bad_alloc();
    if (counting_allocations) ++allocations;
    if (void* memory = std::malloc(size != 0 ? size : 1)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

// A statement costs the host's processor time at every poll attempt: once
// the file is open, a line of ordinary length is built without the heap.
TEST_F(FileLogTest, StatementAllocatesNothing) {
    install();
    LOG_LINE(logDEBUG) << "opens the file";
    const std::string path = "/Applications/Orvella9.app/Contents/MacOS/qororvellalive6.so";
    int pointee = 0;
    allocations = 0;
    counting_allocations = true;
    LOG_LINE(logDEBUG) << "shared_library_open: " << path;
    LOG_LINE(logDEBUG4) << "Orvella live: " << static_cast<const void*>(&pointee);
    counting_allocations = false;
    EXPECT_EQ(0, allocations.load());
    EXPECT_NE(std::string::npos, read_file(kLogPath).find("DEBUG:  shared_library_open: " + path + "\n"));
}

// A line the heap cannot hold keeps what it had and ends there, with its
// newline: nothing inserted after the failure joins it.
TEST(LogLine, LineThatMemoryCannotHoldIsCutAtTheFailure) {
    const std::string longer_than_in_place(600, 'x');
    refusing_allocations = true;
    { Log<CaptureOutput>().begin_line(logINFO, "f.cpp", 1) << "kept " << longer_than_in_place
                                                            << (refusing_allocations = false, "lost"); }
    const std::string& line = CaptureOutput::last;
    EXPECT_EQ(" INFO:  kept \n", line.substr(line.find(" INFO:  "))) << line;
}

// "HH:MM:SS.mmm" is built digit by digit, not by the locale's "%X".
TEST(LogLine, TimeOfDayHasThreeDigitMilliseconds) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    EXPECT_EQ("01:01:01.007", log_time_text(3661, 7000));
    EXPECT_EQ("00:00:00.000", log_time_text(0, 0));
    EXPECT_EQ("23:59:59.999", log_time_text(86399, 999999));
    EXPECT_EQ("12:00:00.010", log_time_text(43200, 10999));
    EXPECT_TRUE(std::regex_match(log_time_text(), std::regex(kTimePattern))) << log_time_text();
}

TEST_F(FileLogTest, StatementsAboveTheThresholdEvaluateNothing) {
    evaluations = 0;
    testing::internal::CaptureStderr();
    LOG_LINE(logNONE) << evaluated();  // no support folder: an open would complain
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    install();
    LOG_LINE(logNONE) << evaluated();
    EXPECT_EQ(0, evaluations);
    EXPECT_FALSE(exists(kLogPath)) << "a statement above the threshold opened the file";

    // The statement binds like one statement: an `else` stays the caller's.
    bool took_else = false;
    if (evaluations != 0)
        LOG_LINE(logDEBUG) << "never";
    else
        took_else = true;
    EXPECT_TRUE(took_else);
    EXPECT_FALSE(exists(kLogPath));
}

TEST_F(FileLogTest, MissingSupportFolderReportsEveryStatement) {
    install_bundle(9, false);  // installed, but its support folder is missing
    evaluations = 0;
    testing::internal::CaptureStderr();
    LOG_LINE(logDEBUG) << evaluated();
    LOG_LINE(logWARNING) << evaluated();
    const std::string once = "could not open log file:\nopening log: No such file or directory\n";
    EXPECT_EQ(once + once, testing::internal::GetCapturedStderr());
    EXPECT_EQ(0, evaluations) << "the message was built with no file to write it to";

    // Once the folder exists the next statement opens the file.
    make_directories(kSupport);
    testing::internal::CaptureStderr();
    LOG_LINE(logWARNING) << "now " << evaluated();
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    EXPECT_NE(std::string::npos, read_file(kLogPath).find("WARNING:  now 1\n"));
}

TEST_F(FileLogTest, FifoInPlaceOfTheLogIsNotWaitedOn) {
    install();
    ASSERT_EQ(0, ::mkfifo(kLogPath.c_str(), 0600));
    evaluations = 0;
    std::atomic<bool> done{false};
    std::thread logger([&done] {
        testing::internal::CaptureStderr();
        LOG_LINE(logWARNING) << evaluated();
        const std::string reported = testing::internal::GetCapturedStderr();
        EXPECT_EQ(0u, reported.find("could not open log file:\n")) << reported;
        done = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const bool returned = done;
    // An open still waiting for the other end is let go, so the test can end.
    const int reader = returned ? -1 : ::open(kLogPath.c_str(), O_RDWR | O_NONBLOCK);
    logger.join();
    if (reader >= 0) ::close(reader);
    EXPECT_TRUE(returned) << "the statement waited on the FIFO";
    EXPECT_EQ(0, evaluations);
}

// A link in place of the log counts as a log that cannot be opened: what it
// leads to is neither written nor, at 20 MiB, emptied. A hard link shares
// the file, so it is the user's file as much as the log.
TEST_F(FileLogTest, LinkInPlaceOfTheLogIsNotFollowed) {
    install();
    const std::string kept = "/Library/Application Support/holiday.mov";  // same file system
    const struct { const char* kind; int (*make)(const char*, const char*); } links[] = {
        {"symbolic link", ::symlink},
        {"hard link", ::link},
    };
    for (const auto& link : links) {
        for (const off_t size : {off_t{4}, off_t{20 * kMiB}}) {
            SCOPED_TRACE(std::string(link.kind) + ", size " + std::to_string(size));
            ::unlink(kLogPath.c_str());
            make_sparse(kept, size);
            ASSERT_EQ(0, link.make(kept.c_str(), kLogPath.c_str()));
            testing::internal::CaptureStderr();
            LOG_LINE(logDEBUG) << "not there";
            EXPECT_EQ(0u, testing::internal::GetCapturedStderr().find("could not open log file:\n"));
            EXPECT_EQ(size, size_of(kept));
            EXPECT_EQ(std::string::npos, read_file(kept).find("not there"));
        }
    }
}

TEST_F(FileLogTest, UnreadableLogIsAppendedToWhateverItsSize) {
    install();
    // Unreadable counts as empty, so even 25 MiB is kept.
    make_sparse(kLogPath, 25 * kMiB);
    ASSERT_EQ(0, ::chmod(kLogPath.c_str(), 0200));
    LOG_LINE(logDEBUG) << "appended";
    ASSERT_EQ(0, ::chmod(kLogPath.c_str(), 0600));
    const std::string text = read_file(kLogPath);
    ASSERT_GT(text.size(), static_cast<size_t>(25 * kMiB));
    EXPECT_NE(std::string::npos, text.find("DEBUG:  appended\n", 25 * kMiB));
}

// The fresh-start decision for a log of a given size (or none: the first
// statement creates it with its line), made once per process.
class LogSizeTest : public FileLogTest, public ::testing::WithParamInterface<off_t> {};

TEST_P(LogSizeTest, FreshStartAtTwentyMebibytesDecidedOnce) {
    install();
    const off_t initial = GetParam();  // -1: no log yet
    const bool fresh = initial >= 20 * kMiB;
    if (initial >= 0) make_sparse(kLogPath, initial);
    LOG_LINE(logDEBUG) << "one";
    const off_t after_one = size_of(kLogPath);
    ASSERT_GT(after_one, 0);
    // After the kept part (nothing when started afresh) stands exactly one line.
    const off_t kept = fresh || initial < 0 ? 0 : initial;
    ASSERT_GE(after_one, kept);
    const off_t line_size = after_one - kept;
    EXPECT_TRUE(std::regex_match(read_file(kLogPath).substr(kept),
                                 std::regex(std::string("test_file_log\\.cpp:[0-9]+ - ") +
                                            kTimePattern + " DEBUG:  one\n")))
        << (fresh ? "a log of 20 MiB or more was not started afresh" : "the log was not kept");

    // Grown past the limit while this process runs: kept, never emptied again.
    ASSERT_EQ(0, ::truncate(kLogPath.c_str(), 30 * kMiB));
    LOG_LINE(logDEBUG) << "two";
    const std::string text = read_file(kLogPath);
    ASSERT_GE(text.size(), static_cast<size_t>(30 * kMiB));
    if (fresh) {
        // Opened with "w": the second line follows the first at its position.
        EXPECT_EQ(0u, text.find(text.substr(0, line_size)));
        EXPECT_NE(std::string::npos, text.find("DEBUG:  two\n", line_size));
        EXPECT_EQ(static_cast<size_t>(30 * kMiB), text.size());
    } else {
        EXPECT_EQ(static_cast<size_t>(30 * kMiB + line_size), text.size());
        EXPECT_NE(std::string::npos, text.find("DEBUG:  one\n", kept));
        EXPECT_NE(std::string::npos, text.find("DEBUG:  two\n", 30 * kMiB));
    }
}

INSTANTIATE_TEST_SUITE_P(Boundary, LogSizeTest,
                         ::testing::Values(off_t{-1}, off_t{20 * kMiB - 1}, off_t{20 * kMiB},
                                           off_t{20 * kMiB + 1}));

TEST_F(FileLogTest, ConcurrentFirstStatementsOpenTheFileOnce) {
    install();
    // A 20 MiB log is emptied by its opener: a second, racing open would
    // empty it again or write over the first opener's lines.
    make_sparse(kLogPath, 20 * kMiB);
    constexpr int kThreads = 8;
    constexpr int kLines = 200;
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &ready] {
            ready.fetch_add(1);
            while (ready.load() < kThreads) std::this_thread::yield();
            for (int i = 0; i < kLines; ++i)
                LOG_LINE(logDEBUG4) << "thread " << t << " line " << i << " end";
        });
    for (std::thread& t : threads) t.join();

    // Opened once: exactly one descriptor of this process refers to the log.
    int descriptors = 0;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(fd.path(), error) == "/Library/Application Support/Orvella9/sceneapi.log")
            ++descriptors;
    }
    EXPECT_EQ(1, descriptors);

    std::istringstream text(read_file(kLogPath));
    const std::regex whole(std::string("test_file_log\\.cpp:[0-9]+ - ") + kTimePattern +
                           " DEBUG4:  thread [0-7] line [0-9]+ end");
    int lines = 0;
    for (std::string line; std::getline(text, line); ++lines)
        ASSERT_TRUE(std::regex_match(line, whole)) << "line " << lines << ": " << line;
    EXPECT_EQ(kThreads * kLines, lines);
}
