// The main of every test binary. Run for one test (as ctest runs them), it
// runs that test. Run for several, it runs each in a process of its own, as
// ctest does: the plug-in keeps process-wide state for the life of the
// process by design (the live-link library once loaded, the open log file,
// the settings record), which no test can take back. Whatever a test
// started (a renderer) ends with it, and inside tools/sandbox the sandbox's
// own folders are emptied before each test, so every test starts from the
// empty machine it was written for.
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <signal.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr char kOneTest[] = "ORVELLA_ONE_TEST";
const char* const kSandboxFolders[] = {"/Applications", "/Library", "/tmp", "/home/tester"};

// Only inside tools/sandbox: its user, its home and its empty mounts.
void empty_the_sandbox() {
    const char* home = std::getenv("HOME");
    if (::getuid() != 1000 || home == nullptr || std::string(home) != "/home/tester") return;
    for (const char* folder : kSandboxFolders) {
        struct statfs info {};
        if (::statfs(folder, &info) != 0 || info.f_type != TMPFS_MAGIC) return;
    }
    for (const char* folder : kSandboxFolders) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error))
            std::filesystem::remove_all(entry.path(), error);
    }
}

// Runs this binary again as the `index`-th of `count` shards, one test each:
// gtest gives each shard the runnable tests whose number it is, modulo the
// count. Returns its exit status.
int run_shard(char** argv, int index, int count) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::setpgid(0, 0);  // its own group, with every renderer it starts
        ::setenv(kOneTest, "1", 1);
        ::setenv("GTEST_TOTAL_SHARDS", std::to_string(count).c_str(), 1);
        ::setenv("GTEST_SHARD_INDEX", std::to_string(index).c_str(), 1);
        ::execv("/proc/self/exe", argv);
        std::_Exit(127);
    }
    int status = 0;
    const bool ended = child > 0 && ::waitpid(child, &status, 0) == child;
    if (child > 0) ::kill(-child, SIGKILL);  // what the test left running ends with it
    return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> arguments(argv, argv + argc + 1);  // before gtest takes its flags out
    testing::InitGoogleTest(&argc, argv);
    const int tests = testing::UnitTest::GetInstance()->total_test_count();
    // One test named (as ctest names them), a shard, a listing: in this process.
    const std::string filter = testing::GTEST_FLAG(filter);
    if (std::getenv(kOneTest) != nullptr || std::getenv("GTEST_TOTAL_SHARDS") != nullptr ||
        testing::GTEST_FLAG(list_tests) || tests <= 1 ||
        filter.find_first_of("*?:-") == std::string::npos)
        return RUN_ALL_TESTS();
    int failed = 0;
    for (int shard = 0; shard < tests; ++shard) {
        empty_the_sandbox();
        std::fflush(nullptr);
        if (run_shard(arguments.data(), shard, tests) != 0) ++failed;
    }
    empty_the_sandbox();
    std::printf("\nEach test in a process of its own: %d of %d processes failed\n", failed, tests);
    return failed == 0 ? 0 : 1;
}
