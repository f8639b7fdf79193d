// The shipped dylib throwing through its own unwind tables: an allocation
// that fails inside the plug-in's entry becomes std::bad_alloc in the
// dylib's code, and the entry's own guard catches it. The host sees the
// entry's failure value, nothing it handed out is left behind, and the next
// call works.
#include <gtest/gtest.h>

#include "host/sv_plugin_api.h"
#include "sandbox_files.h"
#include "standins/garvento/standin_control.h"
#include "standins/macos/macos_loader_for_testing.h"

TEST(DylibException, AnAllocationFailingInsideTheEntryIsCaughtThere) {
    ASSERT_TRUE(orvella_test::in_sandbox());
    standin::reset();
    standin::set_host_thread();
    standin::PluginLibrary plugin(ORVELLA_PLUGIN_PATH);
    ASSERT_TRUE(plugin.loaded()) << plugin.error();
    // Each of the entry's allocations in turn, until it makes fewer than N:
    // the throws leave frames with and without cleanups, and the host's
    // version text is released by a cleanup on the way out.
    unsigned thrown = 0;
    for (unsigned n = 1; n <= 64; ++n) {
        standin::reset();
        macos_fail_allocation_after(n);
        const int result = plugin.init();
        macos_fail_allocation_after(0);
        if (result == SVAPI_PLUGIN_REGISTERED) break;
        ++thrown;
        EXPECT_EQ(SVAPI_PLUGIN_REFUSED, result) << n;
        EXPECT_TRUE(standin::menu_entries().empty()) << n;
        EXPECT_EQ(0u, standin::live_strings()) << n;
        standin::reset();
        EXPECT_EQ(SVAPI_PLUGIN_REGISTERED, plugin.init()) << "after allocation " << n << " failed";
    }
    EXPECT_GE(thrown, 1u);
}
