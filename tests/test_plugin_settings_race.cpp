// The settings record raced into being from several threads at once, and a
// save raced by another writer; run under ThreadSanitizer too (label
// "concurrent").
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "sandbox_files.h"
#include "settings/plugin_settings.h"
#include "settings_test_files.h"

using namespace orvella;
using namespace orvella_test;

namespace {

std::function<void()> on_first_fsync;

}  // namespace

// Defined in the program, this comes before the C library's (or a
// sanitizer's) for every caller in it: the save's sync of its new file.
extern "C" int fsync(int fd) {
    static const auto next = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
    if (on_first_fsync) std::exchange(on_first_fsync, nullptr)();
    return next(fd);
}

TEST(PluginSettingsRace, FirstCallsFromEightThreadsShareOneRecord) {
    ASSERT_TRUE(in_sandbox());
    // Building the record reads this file, which widens the window.
    install_orvella_settings(9, "<s><folders><textures_default>/T</textures_default></folders></s>");

    constexpr int kThreads = 8;
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    std::vector<const PluginSettings*> seen(kThreads, nullptr);
    std::vector<std::string> defaults(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            ++ready;
            while (!go.load()) std::this_thread::yield();
            const PluginSettings& settings = plugin_settings();
            seen[i] = &settings;
            defaults[i] = settings.default_textures_dir();
        });
    }
    // Release them together once all have started (or the deadline passed,
    // which still races whoever is ready).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ready.load() < kThreads && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    go = true;
    for (std::thread& t : threads) t.join();

    for (int i = 0; i < kThreads; ++i) {
        EXPECT_EQ(&plugin_settings(), seen[i]) << "thread " << i;
        EXPECT_EQ("/T/Garvento", defaults[i]) << "thread " << i;
    }
    EXPECT_EQ("com.stavlin.orvellaplugin", plugin_settings().identifier());
}

// Another program's write that lands while a save is under way (here, as the
// save syncs its new file) stays: nothing replaces or keeps it, and the save
// fails, whether the file read whole, did not, or was not there.
TEST(PluginSettingsRace, FileChangedDuringTheSaveStays) {
    ASSERT_TRUE(in_sandbox());
    make_directories(kPreferencesDir);
    const PluginSettings settings;
    for (const char* before : {"<r><TexturesDir>/old</TexturesDir></r>\n", "<r><oops", ""}) {
        remove_tree(kPreferences);
        if (*before) write_file(kPreferences, before);
        on_first_fsync = [] { write_file(kPreferences, "<edit/>"); };
        EXPECT_FALSE(settings.save_settings("true", "/new")) << before;
        EXPECT_EQ("<edit/>", read_file(kPreferences)) << before;
        EXPECT_EQ(std::vector<std::string>{kPreferencesName}, folder_entries(kPreferencesDir));
    }
}
