// The hand-off worker in this process, with the clock that paces the poll
// replaced or real, the stand-in renderer started for real.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "handoff/renderer_import_for_testing.h"
#include "orvella_standin.h"
#include "plugin/hand_off_worker.h"
#include "plugin/render_command.h"
#include "render_road.h"
#include "sandbox_files.h"
#include "settings/plugin_settings.h"
#include "settings_test_files.h"
#include "standins/garvento/standin_control.h"

using namespace orvella;
using namespace orvella_test;

namespace {

const std::string& kTextures = kRoadTextures;

// Ten seconds of processor time pass between two readings; sleeping takes
// no time, so a poll that never confirms ends after two attempts.
struct FastClock {
    static std::clock_t clock() { return ticks.fetch_add(10 * CLOCKS_PER_SEC); }
    static int sleep(useconds_t) { ++sleeps; return 0; }
    static inline std::atomic<std::clock_t> ticks{0};
    static inline std::atomic<int> sleeps{0};
};

// As FastClock, but processor time stands still (and sleeps are not
// counted) until a renderer started after arm() has published its scene: so
// the poll ends after two counted attempts, the last against that scene.
struct SceneClock {
    static std::clock_t clock() {
        advancing = scene_published_since_arm();
        if (!advancing) return FastClock::ticks.load();
        return FastClock::ticks.fetch_add(10 * CLOCKS_PER_SEC) + 10 * CLOCKS_PER_SEC;
    }
    static int sleep(useconds_t) {
        if (advancing) ++sleeps;
        return 0;
    }
    static void arm() {
        sleeps = 0;
        const std::vector<pid_t> started = started_renderers();
        known = std::set<pid_t>(started.begin(), started.end());
    }
    static bool scene_published_since_arm() {
        for (pid_t pid : started_renderers())
            if (!known.count(pid) && scene_published(pid)) return true;
        return false;
    }
    static inline std::atomic<int> sleeps{0};
    static inline std::atomic<bool> advancing{false};
    static inline std::set<pid_t> known;  // set before the hand-off thread starts
};

class HandOffWorker : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(start_host_session());
        standin::set_garment(standin::garment_id(1), "Dress");
        // As SvApiPluginInit does: the host routes requests by the identifier.
        SvApiIdentifierSet(plugin_settings().identifier().c_str());
        threads_before = thread_count();
    }
    void TearDown() override {
        EXPECT_TRUE(wait_for_hand_offs(0, threads_before)) << "a hand-off did not end";
        set_poll_pace({});
        ::unsetenv("ORVELLA_STANDIN_REPLY");
        ::unsetenv("ORVELLA_STANDIN_DEPTH");
        ::unsetenv("ORVELLA_STANDIN_DEEP_BRANCH");
    }
    std::size_t threads_before = 0;
};

}  // namespace

TEST_F(HandOffWorker, UnconfirmedImportIsReportedAndTheFileRemoved) {
    install_standin(9, false, LiveLibrary::standin);
    set_poll_pace({SceneClock::clock, SceneClock::sleep});
    const std::vector<std::pair<const char*, const char*>> scenes = {
        {"ORVELLA_STANDIN_REPLY", "never"},  // the renderer's scene lacks the model
        // The model 100,000 levels deep (1.5 MB): past the parser's nesting
        // limit, so the reply reads as unreadable.
        {"ORVELLA_STANDIN_DEPTH", "100000"},
    };
    for (const auto& [knob, value] : scenes) {
        ::setenv(knob, value, 1);
        standin::clear_calls();
        SceneClock::arm();
        const std::size_t renderers_before = started_renderers().size();
        const std::size_t delivered_before = standin::delivered_requests();
        ASSERT_EQ(0, render_to_orvella(standin::garment_id(1))) << knob;
        ASSERT_TRUE(wait_for_hand_offs(delivered_before + 1, threads_before)) << knob;
        EXPECT_FALSE(exists(kTextures + "/Dress.fbx")) << knob;
        EXPECT_TRUE(wait_until([&] { return started_renderers().size() == renderers_before + 1; }))
            << knob << ": the renderer was started";
        EXPECT_EQ(2, SceneClock::sleeps.load()) << knob << ": two attempts of one (fake) second each";
        EXPECT_EQ(std::vector<std::string>{"0: Import failed with error: ORVELLA IMPORT FAILED"},
                  message_boxes())
            << knob;
        ::unsetenv(knob);
    }
}

// The model at level 3 of an active set, beside a branch nested 900 levels
// deep: found on the hand-off thread's stack. (A plain confirmed import is
// the render road's.)
TEST_F(HandOffWorker, ConfirmedImportBesideADeepBranchIsNotReported) {
    install_standin(9, false, LiveLibrary::standin);
    ::setenv("ORVELLA_STANDIN_DEEP_BRANCH", "900", 1);
    ASSERT_EQ(0, render_to_orvella(standin::garment_id(1)));
    ASSERT_TRUE(wait_for_hand_offs(0, threads_before));
    EXPECT_FALSE(exists(kTextures + "/Dress.fbx"));
    EXPECT_TRUE(plugin_calls_named("SvApiUpdateSessionFunctionRequest_v2").empty());
    EXPECT_TRUE(message_boxes().empty());
}

TEST_F(HandOffWorker, ReportsTheWordOfAnyStatusAndDeletesWhateverHappens) {
    // The worker's own steps, directly: a file that is not there, and one
    // that is, both end in a request with the word of the status.
    write_file("/tmp/orphan.fbx", "x");
    ::setenv("ORVELLA_STANDIN_REPLY", "never", 1);
    const std::string identifier = plugin_settings().identifier();
    hand_off_worker("Orphan", "/tmp/orphan.fbx", identifier);  // nothing installed: status 1
    hand_off_worker("Nothing", "/tmp/never-written.fbx", identifier);
    EXPECT_FALSE(exists("/tmp/orphan.fbx"));
    standin::pump();
    const auto requests = plugin_calls_named("SvApiUpdateSessionFunctionRequest_v2");
    ASSERT_EQ(2u, requests.size());
    for (const standin::Call& request : requests)
        EXPECT_EQ("Import failed with error: ORVELLA INSTALLATION NOT FOUND", request.args.at(2));
}

namespace {

// A poll that stays in its first pause until the host, quitting, lets it go
// on; then the budget runs out at the next attempt.
struct HeldClock {
    static std::clock_t clock() { return FastClock::clock(); }
    static int sleep(useconds_t) {
        paused = true;
        wait_until([] { return resumed.load(); });
        return 0;
    }
    static inline std::atomic<bool> paused{false};
    static inline std::atomic<bool> resumed{false};
};

// The host goes on after the plug-in's exit handlers: registered before the
// settings record exists, this runs after the record has been destroyed.
std::atomic<bool> host_quitting{false};
std::atomic<std::size_t> host_threads{0};
void host_keeps_working() {
    if (!host_quitting) return;
    HeldClock::resumed = true;
    const bool ended = wait_until([] {
        return plugin_calls_named("SvApiUpdateSessionFunctionRequest_v2").size() == 1 &&
               standin::process_threads() <= host_threads;
    });
    const auto requests = plugin_calls_named("SvApiUpdateSessionFunctionRequest_v2");
    const std::string from = requests.size() == 1 ? requests[0].args.at(0) : "(no request)";
    std::fprintf(stderr, "request from %s, file %s\n", from.c_str(),
                 exists(kTextures + "/Dress.fbx") ? "left" : "removed");
    std::fflush(stderr);
    if (!ended) std::_Exit(3);
}

}  // namespace

TEST(HandOffWorkerQuit, HostQuittingWhileAHandOffGivesUpGetsItsReport) {
    ASSERT_NO_FATAL_FAILURE(start_host_session());
    standin::set_garment(standin::garment_id(1), "Dress");
    std::atexit(host_keeps_working);
    install_standin(9, false, LiveLibrary::standin);
    ::setenv("ORVELLA_STANDIN_REPLY", "never", 1);
    // Up during the first attempt (an ended renderer ends the poll at once),
    // and not holding the test's output pipe for long after.
    ::setenv("ORVELLA_STANDIN_LIFETIME_MS", "5000", 1);
    set_poll_pace({HeldClock::clock, HeldClock::sleep});
    EXPECT_EXIT(
        {
            SvApiIdentifierSet(plugin_settings().identifier().c_str());
            host_threads = thread_count();
            render_to_orvella(standin::garment_id(1));
            wait_until([] { return HeldClock::paused.load(); });
            host_quitting = true;
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "request from com.stavlin.orvellaplugin, file removed");
}
