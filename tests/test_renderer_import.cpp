#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "handoff/renderer_import_for_testing.h"
#include "orvella_standin.h"
#include "sandbox_files.h"

using namespace orvella;
using namespace orvella_test;

namespace {

const char* const kKnobs[] = {"ORVELLA_STANDIN_IMPORT_DELAY_MS", "ORVELLA_STANDIN_MODELSET",
                              "ORVELLA_STANDIN_DEPTH", "ORVELLA_STANDIN_REPLY"};

// A poll clock whose processor time stands still until a renderer started by
// this import has published its scene, and then advances one second per
// reading; the sleep records its argument and yields briefly. So every
// negative case runs its full 20 attempts against a published scene, fast.
struct PublishedClock {
    static inline std::atomic<int> readings;
    static inline std::atomic<int> sleeps;
    static inline std::atomic<bool> wrong_interval;
    static inline std::atomic<bool> forced;  // gave up waiting for a scene
    static inline std::set<pid_t> known;     // published before this import
    static inline long seconds;
    static inline std::chrono::steady_clock::time_point stall_deadline;

    static void reset() {
        readings = 0;
        sleeps = 0;
        wrong_interval = false;
        forced = false;
        known.clear();
        for (pid_t pid : started_renderers())
            if (scene_published(pid)) known.insert(pid);
        seconds = 0;
        stall_deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    }
    static bool new_scene() {
        for (pid_t pid : started_renderers())
            if (!known.count(pid) && scene_published(pid)) return true;
        return false;
    }
    static std::clock_t clock() {
        ++readings;
        if (!new_scene()) {
            if (std::chrono::steady_clock::now() < stall_deadline)
                return static_cast<std::clock_t>(seconds * CLOCKS_PER_SEC);
            forced = true;
        }
        return static_cast<std::clock_t>(++seconds * CLOCKS_PER_SEC);
    }
    static int sleep(useconds_t microseconds) {
        ++sleeps;
        if (microseconds != 1000000) wrong_interval = true;
        return ::usleep(2000);
    }
};

// A poll clock that reads a fixed sequence of processor times.
struct SequenceClock {
    static inline std::vector<std::clock_t> values;
    static inline size_t next;
    static inline int sleeps;
    static std::clock_t clock() { return values[std::min(next++, values.size() - 1)]; }
    static int sleep(useconds_t) { return ++sleeps, 0; }
};

// Processor time that stands still, as on an idle host, until `give_up`
// passes on the wall clock; then the whole budget is gone at once.
struct IdleClock {
    static std::chrono::steady_clock::time_point give_up;
    static std::atomic<bool> gave_up;
    static std::clock_t clock() {
        if (std::chrono::steady_clock::now() < give_up) return 0;
        gave_up = true;
        return 100 * CLOCKS_PER_SEC;
    }
};
std::chrono::steady_clock::time_point IdleClock::give_up;
std::atomic<bool> IdleClock::gave_up;

std::vector<pid_t> new_renderers(const std::vector<pid_t>& before) {
    std::vector<pid_t> now = started_renderers(), added;
    for (pid_t pid : now)
        if (std::find(before.begin(), before.end(), pid) == before.end()) added.push_back(pid);
    return added;
}

class RendererImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(in_sandbox());
        for (const char* knob : kKnobs) ::unsetenv(knob);
        ::setenv("ORVELLA_STANDIN_LIFETIME_MS", "60000", 1);
        make_directories("/Library/Application Support/Orvella9");
        PublishedClock::reset();
        set_poll_pace({PublishedClock::clock, PublishedClock::sleep});
    }
    void TearDown() override { set_poll_pace({}); }

    // An exported file naming its model as the export service writes it.
    std::string export_file(const std::string& model, const std::string& file = "Coat") {
        const std::string path = "/tmp/textures/" + file + ".fbx";
        write_file(path, "; FBX 7.4.0 project file\nObjects:  {\n\tModel: 100000, \"Model::" +
                             model + "\", \"Mesh\" {\n\t}\n}\n");
        return path;
    }

    // Runs one hand-off; `launched` receives the renderer it started, if any.
    int hand_off(const std::string& name, const std::string& path, pid_t* launched = nullptr) {
        PublishedClock::reset();
        const std::vector<pid_t> before = started_renderers();
        ImportRequest request{name, path};
        import_into_orvella(request);
        const std::vector<pid_t> added = new_renderers(before);
        EXPECT_LE(added.size(), 1u) << "more than one renderer started";
        if (launched != nullptr) *launched = added.empty() ? -1 : added.front();
        return request.status;
    }
};

}  // namespace

TEST_F(RendererImportTest, NoInstallationStartsNothing) {
    EXPECT_EQ(kInstallationNotFound, hand_off("Coat", export_file("Coat")));
    EXPECT_TRUE(started_renderers().empty());
    EXPECT_EQ(0, PublishedClock::readings) << "polled without a renderer";
}

TEST_F(RendererImportTest, ExecutableThatCannotRunIsReportedAtOnce) {
    const std::string executable = "/Applications/Orvella9.app/Contents/MacOS/orvella";
    struct Case {
        const char* name;
        std::function<void()> spoil;  // done to a complete installation
    };
    const Case cases[] = {
        {"no executable in the bundle", [&] { ::unlink(executable.c_str()); }},
        // Readable is what counts before the start: executable but unreadable is refused.
        {"not readable", [&] { ::chmod(executable.c_str(), 0111); }},
        {"not executable", [&] { ::chmod(executable.c_str(), 0644); }},
        {"not a program", [&] { write_file(executable, ""); }},
        {"a folder", [&] { ::unlink(executable.c_str()), make_directories(executable); }},
    };
    for (const Case& c : cases) {
        remove_tree("/Applications/Orvella9.app");
        install_standin(9, false, LiveLibrary::standin);
        c.spoil();
        ImportRequest request{"Coat", export_file("Coat")};
        EXPECT_EQ(-1, launch_orvella(request, executable)) << c.name;
        // Reported as such, without a poll that would wait out the budget.
        EXPECT_EQ(kProcessNotCreated, hand_off("Coat", request.path)) << c.name;
        EXPECT_EQ(0, PublishedClock::readings) << c.name << ": polled";
        EXPECT_TRUE(started_renderers().empty()) << c.name;
    }
}

TEST_F(RendererImportTest, ConfirmsTheImportOfTheStartedRenderer) {
    const std::string executable = install_standin(9, false, LiveLibrary::standin);
    const std::string path = export_file("Coat");
    // A descriptor the host holds without close-on-exec, as a lock on the
    // user's document may be, stays the host's alone; so do the signals the
    // host thread blocks and the host ignores.
    const int held = ::open("/tmp/document.lock", O_RDWR | O_CREAT, 0644);
    ASSERT_GE(held, 0);
    std::vector<int> standard_streams;
    for (int fd = 0; fd < 3; ++fd)
        if (::fcntl(fd, F_GETFD) != -1) standard_streams.push_back(fd);
    sigset_t usr1, host_mask;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    ASSERT_EQ(0, ::pthread_sigmask(SIG_BLOCK, &usr1, &host_mask));
    const auto host_sigpipe = ::signal(SIGPIPE, SIG_IGN);
    pid_t launched = -1;
    EXPECT_EQ(kImportConfirmed, hand_off("Coat", path, &launched));
    ::signal(SIGPIPE, host_sigpipe);
    ::pthread_sigmask(SIG_SETMASK, &host_mask, nullptr);
    ::close(held);
    ASSERT_GT(launched, 0);
    EXPECT_EQ(std::vector<std::string>({executable, "-import", path}),
              recorded_command_line(launched));
    EXPECT_EQ(standard_streams, recorded_descriptors(launched));
    EXPECT_EQ(0u, recorded_signals(launched).blocked);
    EXPECT_EQ(0u, recorded_signals(launched).ignored);
    // One reading before the first attempt, one after each; a one-second
    // sleep after every attempt, the confirming one included.
    EXPECT_GE(PublishedClock::sleeps, 1);
    EXPECT_EQ(PublishedClock::readings - 1, PublishedClock::sleeps);
    EXPECT_FALSE(PublishedClock::wrong_interval);
    for (pid_t pid : attached_processes()) EXPECT_EQ(launched, pid);
}

TEST_F(RendererImportTest, SearchesActiveModelSetsFourLevelsDeep) {
    install_standin(9, false, LiveLibrary::standin);
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, const char*>> knobs;
        const char* model;  // as the file names it; the request asks for "Coat"
        int status;
    };
    const std::vector<Case> cases = {
        {"model in an active set", {}, "Coat", kImportConfirmed},
        {"model at level 4", {{"ORVELLA_STANDIN_DEPTH", "4"}}, "Coat", kImportConfirmed},
        {"model at level 5", {{"ORVELLA_STANDIN_DEPTH", "5"}}, "Coat", kImportNotConfirmed},
        {"only in an inactive set", {{"ORVELLA_STANDIN_MODELSET", "hidden"}}, "Coat",
         kImportNotConfirmed},
        {"empty reply", {{"ORVELLA_STANDIN_REPLY", "empty"}}, "Coat", kImportNotConfirmed},
        {"malformed reply", {{"ORVELLA_STANDIN_REPLY", "malformed"}}, "Coat",
         kImportNotConfirmed},
        {"renderer never imports", {{"ORVELLA_STANDIN_REPLY", "never"}}, "Coat",
         kImportNotConfirmed},
    };
    for (const Case& c : cases) {
        for (const char* knob : kKnobs) ::unsetenv(knob);
        for (const auto& knob : c.knobs) ::setenv(knob.first, knob.second, 1);
        pid_t launched = -1;
        EXPECT_EQ(c.status, hand_off("Coat", export_file(c.model), &launched)) << c.name;
        // A failure must come from the scene, not from a renderer too slow.
        EXPECT_TRUE(scene_published(launched)) << c.name;
        EXPECT_FALSE(PublishedClock::forced) << c.name;
        if (c.status == kImportNotConfirmed) {
            EXPECT_GE(PublishedClock::sleeps, 20) << c.name;  // twenty after the scene was there
        }
    }
}

TEST_F(RendererImportTest, BudgetIsTwentyWholeSecondsOfProcessorTime) {
    install_standin(9, false, LiveLibrary::standin);
    ::setenv("ORVELLA_STANDIN_REPLY", "never", 1);
    const std::clock_t second = CLOCKS_PER_SEC;
    struct Case { std::vector<std::clock_t> readings; int attempts; };
    const Case cases[] = {
        {{0, 20 * second}, 1},
        {{0, 20 * second - 1, 20 * second}, 2},     // 19.999999 s counts as 19
        {{5 * second, 25 * second - 1, 25 * second}, 2},
        {{0, 3 * second, 19 * second, 21 * second}, 3},
        // No processor clock at all: each attempt counts as a second.
        {{static_cast<std::clock_t>(-1)}, 20},
        {{0, static_cast<std::clock_t>(-1)}, 20},
    };
    for (const Case& c : cases) {
        SequenceClock::values = c.readings;
        SequenceClock::next = 0;
        SequenceClock::sleeps = 0;
        set_poll_pace({SequenceClock::clock, SequenceClock::sleep});
        ImportRequest request{"Coat", export_file("Coat")};
        import_into_orvella(request);
        EXPECT_EQ(kImportNotConfirmed, request.status);
        EXPECT_EQ(c.attempts, SequenceClock::sleeps) << "readings from " << c.readings.front();
    }
}

// A renderer that ended (it crashed, refused to run, or handed the file to
// an instance already running) is reaped, and the poll ends at the attempt
// that finds it gone, however little processor time the host has used.
TEST_F(RendererImportTest, RendererThatEndedIsReportedAtOnce) {
    install_standin(9, false, LiveLibrary::standin);
    ::setenv("ORVELLA_STANDIN_REPLY", "never", 1);
    ::setenv("ORVELLA_STANDIN_LIFETIME_MS", "0", 1);
    IdleClock::gave_up = false;
    IdleClock::give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    set_poll_pace({IdleClock::clock, PublishedClock::sleep});
    pid_t launched = -1;
    EXPECT_EQ(kImportNotConfirmed, hand_off("Coat", export_file("Coat"), &launched));
    EXPECT_FALSE(IdleClock::gave_up) << "the ended renderer was polled until the budget ran out";
    ASSERT_GT(launched, 0);
    errno = 0;
    EXPECT_EQ(-1, ::kill(launched, 0));
    EXPECT_EQ(ESRCH, errno) << "the ended renderer was left a zombie";
}

TEST_F(RendererImportTest, NewerRendererIsStartedButHasNoLiveLink) {
    const std::string executable = install_standin(10, false, LiveLibrary::standin);
    pid_t launched = -1;
    EXPECT_EQ(kImportNotConfirmed, hand_off("Coat", export_file("Coat"), &launched));
    ASSERT_GT(launched, 0);
    EXPECT_EQ(executable, recorded_command_line(launched).at(0));
    EXPECT_TRUE(attached_processes().empty()) << "the library of version 10 was used";
}

TEST_F(RendererImportTest, AttachesTheStartedRendererNotOneAlreadyRunning) {
    const std::string executable = install_standin(9, false, LiveLibrary::standin);
    // Another instance that has taken in a "Coat" of its own.
    ImportRequest other_request{"Coat", export_file("Coat", "other")};
    const pid_t other = launch_orvella(other_request, executable);
    ASSERT_GT(other, 0);
    ASSERT_TRUE(wait_until([&] { return scene_published(other); }));
    EXPECT_EQ(executable, recorded_command_line(other).at(0));

    ::setenv("ORVELLA_STANDIN_REPLY", "never", 1);
    pid_t launched = -1;
    EXPECT_EQ(kImportNotConfirmed, hand_off("Coat", export_file("Coat"), &launched));
    ::unsetenv("ORVELLA_STANDIN_REPLY");
    EXPECT_EQ(kImportConfirmed, hand_off("Coat", export_file("Coat"), &launched));
    const std::vector<pid_t> attached = attached_processes();
    ASSERT_FALSE(attached.empty());
    EXPECT_EQ(0, std::count(attached.begin(), attached.end(), other));
    EXPECT_EQ(launched, attached.back());
}

// A live-link library whose tables are built by hand in C answers the real
// import: the entries the plug-in calls sit where the library has them.
TEST_F(RendererImportTest, HandBuiltLiveLinkTablesAnswerTheImport) {
    install_standin(9, false, LiveLibrary::abi_check);
    // This library confirms at once, before the renderer may have recorded
    // itself: wait for that record.
    EXPECT_EQ(kImportConfirmed, hand_off("abi-check", export_file("abi-check")));
    ASSERT_TRUE(wait_until([] { return started_renderers().size() == 1; }));
    const pid_t launched = started_renderers().front();
    void* library = ::dlopen("/Applications/Orvella9.app/Contents/MacOS/qororvellalive6.so",
                             RTLD_LAZY | RTLD_NOLOAD);
    ASSERT_NE(nullptr, library) << "the library was not loaded";
    using AttachedPid = std::int64_t (*)();
    auto attached = reinterpret_cast<AttachedPid>(::dlsym(library, "abi_check_attached_pid"));
    ASSERT_NE(nullptr, attached);
    EXPECT_EQ(launched, attached());
    ::dlclose(library);
}
