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

// Runs this binary again with `added` arguments, for one test; its standard
// output into `output` when that is not -1. Returns its exit status.
int run_again(int argc, char** argv, std::vector<std::string> added, int output = -1) {
    const pid_t child = ::fork();
    if (child == 0) {
        std::vector<char*> arguments(argv, argv + argc);
        for (std::string& argument : added) arguments.push_back(argument.data());
        arguments.push_back(nullptr);
        if (output >= 0) ::dup2(output, STDOUT_FILENO);
        ::setenv(kOneTest, "1", 1);
        ::execv("/proc/self/exe", arguments.data());
        std::_Exit(127);
    }
    if (output >= 0) ::close(output);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// The tests this run selects, as --gtest_list_tests lists them: "Suite."
// lines, then "  Test" lines (a parameter follows after spaces).
std::vector<std::string> selected_tests(int argc, char** argv) {
    std::FILE* listing = std::tmpfile();
    if (listing == nullptr) return {};
    run_again(argc, argv, {"--gtest_list_tests", "--gtest_filter=" + testing::GTEST_FLAG(filter)},
              ::dup(::fileno(listing)));
    std::rewind(listing);
    std::vector<std::string> names;
    std::string suite;
    for (char line[4096]; std::fgets(line, sizeof line, listing) != nullptr;) {
        std::istringstream words(line);
        std::string word;
        if (!(words >> word)) continue;
        if (line[0] != ' ') suite = word;
        else names.push_back(suite + word);
    }
    std::fclose(listing);
    return names;
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (std::getenv(kOneTest) != nullptr || testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    const std::vector<std::string> names = selected_tests(argc, argv);
    if (names.size() <= 1) return RUN_ALL_TESTS();
    std::vector<std::string> failed;
    for (const std::string& name : names) {
        empty_the_sandbox();
        std::fflush(nullptr);
        if (run_again(argc, argv, {"--gtest_filter=" + name}) != 0) failed.push_back(name);
    }
    empty_the_sandbox();
    std::printf("\n%zu tests, each in a process of its own: %zu passed, %zu failed\n", names.size(),
                names.size() - failed.size(), failed.size());
    for (const std::string& name : failed) std::printf("FAILED: %s\n", name.c_str());
    return failed.empty() ? 0 : 1;
}
