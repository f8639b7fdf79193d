// Runs with the Preferences folder on its own tmpfs of two pages
// (tests/CMakeLists.txt), so that a preferences file of three pages cannot
// be written there, not even after the old file is truncated.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <string>
#include <vector>

#include "sandbox_files.h"
#include "settings/plugin_settings.h"
#include "settings_test_files.h"

using namespace orvella;
using namespace orvella_test;

namespace {

// The folder this test needs, or how to run it.
void expect_two_pages() {
    ASSERT_TRUE(in_sandbox());
    struct statvfs folder {};
    ASSERT_TRUE(::statvfs(kPreferencesDir.c_str(), &folder) == 0 &&
                folder.f_blocks * folder.f_frsize == 8192)
        << "run as tools/sandbox --tmpfs " << kPreferencesDir << ":8192 -- ...";
}

}  // namespace

TEST(PluginSettingsFullDisk, FailedSaveKeepsTheOldFile) {
    expect_two_pages();
    const PluginSettings settings;
    // A small save fits beside the old file and goes through.
    settings.save_settings("true", "/first");
    settings.save_settings("false", "/second");
    ASSERT_EQ("/second", settings.read_settings().textures_dir);
    const std::string before = read_file(kPreferences);

    EXPECT_FALSE(settings.save_settings("true", "/" + std::string(10000, 'x')));
    EXPECT_EQ(before, read_file(kPreferences));
    EXPECT_EQ("false", settings.read_settings().include_avatar);
    EXPECT_EQ("/second", settings.read_settings().textures_dir);
    EXPECT_EQ(std::vector<std::string>{kPreferencesName}, folder_entries(kPreferencesDir));

    // The space is free again afterwards.
    settings.save_settings("true", "/third");
    EXPECT_EQ("/third", settings.read_settings().textures_dir);
    EXPECT_EQ(std::vector<std::string>{kPreferencesName}, folder_entries(kPreferencesDir));
}

// A folder that takes no new file has the save written into the file in
// place: the old page freed by truncating it would not hold the new three.
TEST(PluginSettingsFullDisk, FailedSaveInPlaceKeepsTheOldFile) {
    expect_two_pages();
    const PluginSettings settings;
    ASSERT_TRUE(settings.save_settings("false", "/second"));
    const std::string before = read_file(kPreferences);
    ASSERT_EQ(0, ::chmod(kPreferencesDir.c_str(), 0555));

    EXPECT_FALSE(settings.save_settings("true", "/" + std::string(10000, 'x')));
    EXPECT_EQ(before, read_file(kPreferences));
    // A save that fits still goes through in place.
    EXPECT_TRUE(settings.save_settings("true", "/third"));
    EXPECT_EQ("/third", settings.read_settings().textures_dir);
    EXPECT_EQ(std::vector<std::string>{kPreferencesName}, folder_entries(kPreferencesDir));
    ASSERT_EQ(0, ::chmod(kPreferencesDir.c_str(), 0755));
}
