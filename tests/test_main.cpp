// The main of every test binary. Run for one test (as ctest runs them), it
// runs that test. Run for several, it runs each in a process of its own, as
// ctest does: the plug-in keeps process-wide state for the life of the
// process by design (the live-link library once loaded, the open log file,
// the settings record), which no test can take back. Inside tools/sandbox
// the sandbox's own folders are emptied before each test, so every test
// starts from the empty machine it was written for.
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr char kOneTest[] = "ORVELLA_ONE_TEST";

bool is_tmpfs(const char* path) {
    struct statfs info {};
    return ::statfs(path, &info) == 0 && info.f_type == TMPFS_MAGIC;
}

// Only inside tools/sandbox: its home, its user and its empty mounts.
void empty_the_sandbox() {
    const char* home = std::getenv("HOME");
    if (::getuid() != 1000 || home == nullptr || std::string(home) != "/home/tester") return;
    for (const char* folder : {"/Applications", "/Library", "/tmp", "/home/tester"})
        if (!is_tmpfs(folder)) return;
    for (const char* folder : {"/Applications", "/Library", "/tmp", "/home/tester"}) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error))
            std::filesystem::remove_all(entry.path(), error);
    }
}

// Starts this binary again with `arguments` added; its standard output goes
// to `output` when one is given.
pid_t start_again(int argc, char** argv, std::vector<std::string> added, int output) {
    const pid_t child = ::fork();
    if (child != 0) return child;
    std::vector<char*> arguments(argv, argv + argc);
    for (std::string& argument : added) arguments.push_back(argument.data());
    arguments.push_back(nullptr);
    if (output >= 0) ::dup2(output, STDOUT_FILENO);
    ::setenv(kOneTest, "1", 1);
    ::execv("/proc/self/exe", arguments.data());
    std::_Exit(127);
}

// The full names of the tests this run selects, as --gtest_list_tests lists
// them: "Suite." lines, then "  Test" lines (a parameter follows a '#').
std::vector<std::string> selected_tests(int argc, char** argv) {
    int pipe_ends[2];
    if (::pipe(pipe_ends) != 0) return {};
    const std::string filter = "--gtest_filter=" + testing::GTEST_FLAG(filter);
    const pid_t child = start_again(argc, argv, {"--gtest_list_tests", filter}, pipe_ends[1]);
    ::close(pipe_ends[1]);
    std::string listing;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipe_ends[0], buffer, sizeof buffer)) > 0;) listing.append(buffer, n);
    ::close(pipe_ends[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    std::vector<std::string> names;
    std::string suite;
    std::istringstream lines(listing);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty()) continue;
        if (line[0] != ' ') {
            suite = line.substr(0, line.find(' '));
        } else {
            const std::string test = line.substr(2, line.find(' ', 2) - 2);
            names.push_back(suite + test);
        }
    }
    return names;
}

int run_each_in_a_process(int argc, char** argv) {
    const std::vector<std::string> names = selected_tests(argc, argv);
    if (names.size() <= 1) return RUN_ALL_TESTS();
    std::vector<std::string> failed;
    for (const std::string& name : names) {
        empty_the_sandbox();
        std::fflush(nullptr);
        const pid_t child = start_again(argc, argv, {"--gtest_filter=" + name}, -1);
        int status = 0;
        if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0)
            failed.push_back(name);
    }
    empty_the_sandbox();
    std::printf("\n%zu tests, each in a process of its own: %zu passed, %zu failed\n", names.size(),
                names.size() - failed.size(), failed.size());
    for (const std::string& name : failed) std::printf("FAILED: %s\n", name.c_str());
    return failed.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (std::getenv(kOneTest) != nullptr || testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    return run_each_in_a_process(argc, argv);
}
