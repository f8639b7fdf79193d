// The settings record raced into being from several threads at once; run
// under ThreadSanitizer too (label "concurrent").
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "sandbox_files.h"
#include "settings/plugin_settings.h"
#include "settings_test_files.h"

using namespace orvella;
using namespace orvella_test;

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
