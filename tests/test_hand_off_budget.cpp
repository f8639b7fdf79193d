// The real processor-time budget of a hand-off: the built plug-in binary in
// the stand-in host library, nothing replaced, the stand-in renderer started
// for real and never confirming the import.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
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
}  // namespace

// The real processor-time budget: a host that keeps both cores busy uses up
// 20 seconds of processor time while the renderer never confirms.
TEST(HandOffBudget, EndsUnderABusyHost) {
    ASSERT_NO_FATAL_FAILURE(start_host_session());
    standin::set_garment(standin::garment_id(1), "Dress");
    standin::PluginLibrary plugin(ORVELLA_PLUGIN_PATH);
    ASSERT_TRUE(plugin.loaded()) << plugin.error();
    ASSERT_EQ(SVAPI_PLUGIN_REGISTERED, plugin.init());
    install_standin(9, false, LiveLibrary::standin);
    ::setenv("ORVELLA_STANDIN_REPLY", "never", 1);
    std::atomic<bool> stop{false};
    std::vector<std::thread> burners;
    for (int i = 0; i < 2; ++i)
        burners.emplace_back([&stop] {
            volatile unsigned long spin = 0;
            while (!stop.load(std::memory_order_relaxed)) ++spin;
        });
    const std::size_t threads_with_burners = thread_count();
    ASSERT_EQ(SVAPI_CALLBACK_DONE,
              standin::pick_menu(orvella::kRenderToOrvella, standin::garment_id(1)));
    const bool ended = wait_for_hand_offs(1, threads_with_burners, std::chrono::seconds(150));
    stop = true;
    for (std::thread& t : burners) t.join();
    // The plug-in is unloaded at the end: a worker must not outlive it.
    ASSERT_TRUE(ended) << "the budget never ran out";
    EXPECT_FALSE(exists(kTextures + "/Dress.fbx"));
    EXPECT_EQ(std::vector<std::string>{"0: Import failed with error: ORVELLA IMPORT FAILED"},
              message_boxes());
}
