// "Render to Orvella" from the menu to a confirmed import, with the built
// plug-in binary in the stand-in host library and the stand-in renderer
// started for real at the fixed installation paths.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "orvella_standin.h"
#include "plugin/garvento_menu.h"
#include "render_road.h"
#include "sandbox_files.h"
#include "settings_test_files.h"
#include "standins/garvento/standin_control.h"

using namespace orvella_test;

namespace {

const std::string& kTextures = kRoadTextures;

class RenderRoad : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(start_host_session());
        plugin = std::make_unique<standin::PluginLibrary>(ORVELLA_PLUGIN_PATH);
        ASSERT_TRUE(plugin->loaded()) << plugin->error();
        ASSERT_EQ(SVAPI_PLUGIN_REGISTERED, plugin->init());
        threads_before = thread_count();
    }
    void TearDown() override {
        // The plug-in is unloaded below: no worker may still be running.
        EXPECT_TRUE(wait_for_hand_offs(0, threads_before)) << "a hand-off did not end";
        standin::set_event_listener(nullptr);
    }

    int render(int garment, const std::string& name) {
        standin::set_garment(standin::garment_id(garment), name);
        return standin::pick_menu(orvella::kRenderToOrvella, standin::garment_id(garment));
    }

    // The one session request the plug-in made, "" when none.
    std::string requested_text() {
        const auto requests = plugin_calls_named("SvApiUpdateSessionFunctionRequest_v2");
        if (requests.size() != 1) return "";
        EXPECT_FALSE(requests[0].host_thread) << "made by the worker";
        EXPECT_EQ("com.stavlin.orvellaplugin", requests[0].args.at(0));
        EXPECT_EQ("1", requests[0].args.at(1));
        return requests[0].args.at(2);
    }

    // Expects a failed hand-off of `file` that the user is told of as
    // "Import failed with error: " + word, the file removed before the request.
    void expect_reported_failure(const std::string& file, const std::string& word) {
        std::mutex mutex;
        bool file_there_at_request = true;
        standin::set_event_listener([&](const std::string& line) {
            if (line.find("session request") != std::string::npos) {
                struct stat info {};
                std::lock_guard<std::mutex> lock(mutex);
                file_there_at_request = ::lstat(file.c_str(), &info) == 0;
            }
        });
        ASSERT_TRUE(wait_for_hand_offs(1, threads_before));
        standin::set_event_listener(nullptr);
        EXPECT_FALSE(exists(file));
        {
            std::lock_guard<std::mutex> lock(mutex);
            EXPECT_FALSE(file_there_at_request) << "the file goes before the request";
        }
        const std::string text = "Import failed with error: " + word;
        EXPECT_EQ(text, requested_text());
        EXPECT_EQ(std::vector<std::string>{"0: " + text}, message_boxes())
            << "shown by the handler on the host's thread";
        const std::vector<standin::Call> all = standin::calls();
        ASSERT_FALSE(all.empty());
        const standin::Call& delivery = all.back();
        EXPECT_EQ("session callback", delivery.function);
        EXPECT_EQ(SVAPI_CALLBACK_FAILED, delivery.result) << "the handler reports the failure";
    }

    std::unique_ptr<standin::PluginLibrary> plugin;
    std::size_t threads_before = 0;
};

}  // namespace

// What the renderer is started with, and which process the live link
// watches, is the renderer import's (test_renderer_import.cpp).
TEST_F(RenderRoad, ConfirmedImportLeavesNothingBehind) {
    install_standin(9, false, LiveLibrary::standin);
    standin::clear_calls();
    // Not close-on-exec, yet the host's alone (macOS: the spawn closes what it does not inherit).
    const int held = ::open("/tmp/document.lock", O_RDWR | O_CREAT, 0644);
    EXPECT_EQ(0, render(1, "Dress"));
    ASSERT_TRUE(wait_for_hand_offs(0, threads_before));
    ::close(held);

    EXPECT_FALSE(exists(kTextures + "/Dress.fbx"));
    ASSERT_EQ(1u, started_renderers().size());
    EXPECT_EQ(std::vector<int>({0, 1, 2}), recorded_descriptors(started_renderers()[0]));
    for (const standin::Call& call : standin::plugin_calls())
        EXPECT_TRUE(call.host_thread) << call.function << ": the worker calls the host only to report";
    EXPECT_TRUE(plugin_calls_named("SvApiUpdateSessionFunctionRequest_v2").empty());
    EXPECT_TRUE(message_boxes().empty());
}

TEST_F(RenderRoad, NoInstallationIsReported) {
    EXPECT_EQ(0, render(1, "Dress"));
    expect_reported_failure(kTextures + "/Dress.fbx", "ORVELLA INSTALLATION NOT FOUND");
    EXPECT_TRUE(started_renderers().empty());
}

TEST_F(RenderRoad, UnreadableRendererIsReported) {
    const std::string executable = install_standin(9, false, LiveLibrary::standin);
    ASSERT_EQ(0, ::chmod(executable.c_str(), 0));
    EXPECT_EQ(0, render(1, "Dress"));
    expect_reported_failure(kTextures + "/Dress.fbx", "CREATE ORVELLA PROCESS FAILED");
    EXPECT_TRUE(started_renderers().empty());
}

TEST_F(RenderRoad, RendersAreHandedOffApartAndSpareTheUsersOwnFiles) {
    install_standin(9, false, LiveLibrary::standin);
    // The user's own file under the name the third export would take.
    write_file(kTextures + "/Skirt 1_2.fbx", "the user's own");
    standin::clear_calls();
    EXPECT_EQ(0, render(1, "Dress"));
    EXPECT_EQ(0, render(2, "Dress"));
    EXPECT_EQ(0, render(3, "Skirt 1/2"));
    ASSERT_TRUE(wait_for_hand_offs(0, threads_before));

    EXPECT_EQ("the user's own", read_file(kTextures + "/Skirt 1_2.fbx"));
    for (const char* file : {"/Dress.fbx", "/Dress 2.fbx", "/Skirt 1_2 2.fbx"})
        EXPECT_FALSE(exists(kTextures + file)) << file;
    std::vector<std::string> imported;
    for (pid_t pid : started_renderers()) imported.push_back(recorded_command_line(pid).at(2));
    std::sort(imported.begin(), imported.end());
    EXPECT_EQ((std::vector<std::string>{kTextures + "/Dress 2.fbx", kTextures + "/Dress.fbx",
                                        kTextures + "/Skirt 1_2 2.fbx"}),
              imported)
        << "one renderer per render, each with a file of its own";
    EXPECT_TRUE(plugin_calls_named("SvApiUpdateSessionFunctionRequest_v2").empty())
        << "every import confirmed: the model keeps the garment's name";
}

// The host's "reload plug-ins" while a hand-off polls: the worker goes on in
// the library it runs in, and a later load finds that library again.
TEST_F(RenderRoad, UnloadingMidPollLeavesTheHandOffRunning) {
    install_standin(9, false, LiveLibrary::standin);
    // The renderer imports late: the worker sleeps between attempts.
    ::setenv("ORVELLA_STANDIN_IMPORT_DELAY_MS", "1500", 1);
    standin::clear_calls();
    EXPECT_EQ(0, render(1, "Dress"));
    ASSERT_TRUE(wait_until([] { return !attached_processes().empty(); })) << "the poll began";
    plugin.reset();
    ASSERT_TRUE(wait_for_hand_offs(0, threads_before));
    ::unsetenv("ORVELLA_STANDIN_IMPORT_DELAY_MS");
    EXPECT_FALSE(exists(kTextures + "/Dress.fbx"));
    EXPECT_TRUE(plugin_calls_named("SvApiUpdateSessionFunctionRequest_v2").empty())
        << "the import was confirmed after the unload";

    plugin = std::make_unique<standin::PluginLibrary>(ORVELLA_PLUGIN_PATH);
    ASSERT_TRUE(plugin->loaded()) << plugin->error();
    ASSERT_EQ(SVAPI_PLUGIN_REGISTERED, plugin->init());
    EXPECT_EQ(0, render(2, "Skirt"));
    ASSERT_TRUE(wait_for_hand_offs(0, threads_before));
    EXPECT_FALSE(exists(kTextures + "/Skirt.fbx"));
    EXPECT_EQ(2u, started_renderers().size());
    EXPECT_TRUE(plugin_calls_named("SvApiUpdateSessionFunctionRequest_v2").empty());
}
