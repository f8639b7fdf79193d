// The settings window from the host's side: the stand-in host library loads
// the built plug-in binary, picks "Settings" and plays the page's events.
// Every case runs in a fresh sandbox and so loads the plug-in afresh.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host_calls.h"
#include "plugin/garvento_menu.h"
#include "sandbox_files.h"
#include "settings_test_files.h"
#include "standins/garvento/standin_control.h"

using namespace orvella_test;

namespace {

// What Orvella 9's settings name as its textures folder, and the default the
// plug-in derives from it.
const std::string kOrvellaTextures = "/tmp/orvella-textures";
const std::string kDefaultDir = kOrvellaTextures + "/Garvento";
const std::string kRejected = "Textures directory must be an exisiting directory";
const std::string kNotSaved =
    "Settings could not be saved to /home/tester/Library/Preferences/"
    "com.qorvane.orvella.garvento.plist";
// The longest include-avatar text a reply with "/tmp/textures" may carry.
const std::size_t kLongest = 65536 - std::string(":/tmp/textures").size();
const int kReady = SVAPI_EVENT_PAGE_READY;
const int kReply = SVAPI_EVENT_PAGE_REPLY;

standin::WindowState state_of(SvApiWindowHandle window) {
    for (const standin::WindowState& w : standin::windows())
        if (w.request.handle == window) return w;
    ADD_FAILURE() << "no window " << window;
    return {};
}

// The page's first message after it said it is ready.
std::string first_message(SvApiWindowHandle window) {
    EXPECT_EQ(SVAPI_CALLBACK_DONE, standin::raise_window_event(window, kReady, ""));
    const std::vector<std::string> messages = state_of(window).messages;
    return messages.empty() ? "<none>" : messages.back();
}

class SettingsWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(in_sandbox());
        make_directories("/home/tester/Library/Preferences");
    }

    // Orvella 9, whose settings file names kOrvellaTextures (left missing).
    void install_orvella() {
        install_bundle(9, false);
        write_file("/Library/Application Support/Orvella9/OV9Settings.xml",
                   "<settings><folders><textures_default>" + kOrvellaTextures +
                       "</textures_default></folders></settings>\n");
    }

    // Loads the plug-in (which reads the default directory now) and picks
    // "Settings"; returns the new window's handle.
    SvApiWindowHandle open_window() {
        plugin_ = std::make_unique<standin::PluginLibrary>(ORVELLA_PLUGIN_PATH);
        EXPECT_TRUE(plugin_->loaded()) << plugin_->error();
        EXPECT_EQ(SVAPI_PLUGIN_REGISTERED, plugin_->init());
        EXPECT_EQ(SVAPI_CALLBACK_DONE, standin::pick_menu(orvella::kSettings, nullptr));
        const SvApiWindowHandle window = standin::newest_open_window();
        EXPECT_NE(0u, window) << "no settings window opened";
        return window;
    }

    std::unique_ptr<standin::PluginLibrary> plugin_;
};

}  // namespace

TEST_F(SettingsWindow, OpensTheFixedPageAndRegistersBothEvents) {
    const SvApiWindowHandle window = open_window();
    const standin::WindowState w = state_of(window);
    EXPECT_EQ("/settings.html", w.request.page);
    EXPECT_EQ("Orvella Settings", w.request.title);
    EXPECT_EQ("{\"allow_resize\": false,\"enable_maximize\": false,\"enable_minimize\": false}",
              w.request.options);
    EXPECT_EQ((std::vector<int>{660, 80, 500, 200}),
              (std::vector<int>{w.request.x, w.request.y, w.request.width, w.request.height}));
    EXPECT_EQ((std::vector<int>{kReady, kReply}), w.registered_kinds);
    EXPECT_TRUE(w.open);
}

TEST_F(SettingsWindow, FirstMessageWithoutPreferencesNamesTheDefault) {
    install_orvella();
    EXPECT_EQ("false:" + kDefaultDir, first_message(open_window()));
    EXPECT_FALSE(exists(kPreferences)) << "reading must not create the file";
}

TEST_F(SettingsWindow, FirstMessageWithoutInstallationIsFalseAndNothing) {
    EXPECT_EQ("false:", first_message(open_window()));
}

TEST_F(SettingsWindow, MessageCarriesTheStoredValuesAsTheyStand) {
    install_orvella();
    write_file(kPreferences, preferences_file("true", "/tmp/a:b &amp; &lt;c&gt;"));
    const SvApiWindowHandle window = open_window();
    EXPECT_EQ("true:/tmp/a:b & <c>", first_message(window));
    // Every ready event reads the file anew, once for both values.
    write_file(kPreferences, preferences_file("false", "/tmp/other"));
    EXPECT_EQ(1u, opens_of(kPreferences, [&] { EXPECT_EQ("false:/tmp/other", first_message(window)); }));
}

TEST_F(SettingsWindow, CancelClosesAndLeavesThePreferencesAlone) {
    install_orvella();
    SvApiWindowHandle window = open_window();
    EXPECT_EQ(SVAPI_CALLBACK_DONE, standin::raise_window_event(window, kReply, ""));
    EXPECT_FALSE(state_of(window).open);
    EXPECT_FALSE(exists(kPreferences)) << "cancel without a file must not create one";

    const std::string before = preferences_file("true", "/tmp/kept");
    write_file(kPreferences, before);
    EXPECT_EQ(SVAPI_CALLBACK_DONE, standin::pick_menu(orvella::kSettings, nullptr));
    window = standin::newest_open_window();
    EXPECT_EQ(SVAPI_CALLBACK_DONE, standin::raise_window_event(window, kReply, ""));
    EXPECT_FALSE(state_of(window).open);
    EXPECT_EQ(before, read_file(kPreferences));
    EXPECT_TRUE(message_boxes().empty());
}

namespace {

// Replies, each to a window of its own: saved as split, or refused with a
// notice, the window left open and SVAPI_CALLBACK_FAILED.
struct Reply {
    const char* name;
    std::string text;
    bool accepted;
    std::string avatar;  // the saved values when accepted
    std::string dir;
    std::string notice = kRejected;  // when refused
};

void check_replies(const std::vector<Reply>& replies) {
    make_directories("/tmp/textures");
    make_directories("/tmp/a:b");
    write_file("/tmp/file.txt", "not a folder");
    ASSERT_EQ(0, ::symlink("/tmp/textures", "/tmp/link"));
    for (const Reply& r : replies) {
        SCOPED_TRACE(r.name);
        remove_tree(kPreferences);
        const std::size_t boxes_before = message_boxes().size();
        EXPECT_EQ(SVAPI_CALLBACK_DONE, standin::pick_menu(orvella::kSettings, nullptr));
        const SvApiWindowHandle window = standin::newest_open_window();
        const int result = standin::raise_window_event(window, kReply, r.text);
        const std::size_t boxes = message_boxes().size() - boxes_before;
        if (r.accepted) {
            EXPECT_EQ(SVAPI_CALLBACK_DONE, result);
            EXPECT_EQ(preferences_file(r.avatar, r.dir), read_file(kPreferences));
            EXPECT_FALSE(state_of(window).open);
            EXPECT_EQ(0u, boxes);
        } else {
            EXPECT_EQ(SVAPI_CALLBACK_FAILED, result);
            EXPECT_FALSE(exists(kPreferences));
            EXPECT_TRUE(state_of(window).open);
            EXPECT_EQ(1u, boxes);
            EXPECT_EQ("0: " + r.notice, message_boxes().back());
        }
    }
}

}  // namespace

TEST_F(SettingsWindow, RepliesWithADefaultDirectory) {
    install_orvella();
    open_window();
    check_replies({
        {"existing directory", "true:/tmp/textures", true, "true", "/tmp/textures"},
        {"trailing slash kept", "false:/tmp/textures/", true, "false", "/tmp/textures/"},
        {"link to a directory", "true:/tmp/link", true, "true", "/tmp/link"},
        {"default while missing", "false:" + kDefaultDir, true, "false", kDefaultDir},
        {"regular file", "true:/tmp/file.txt", false, "", ""},
        {"missing directory", "true:/tmp/missing", false, "", ""},
        {"default with a trailing slash is not the default", "true:" + kDefaultDir + "/",
         false, "", ""},
        {"empty directory text", "true:", false, "", ""},
        {"directory holding ':'", "true:/tmp/a:b", true, "true", "/tmp/a:b"},
        {"no ':' at all: both values", "/tmp/textures", true, "/tmp/textures", "/tmp/textures"},
        {"no ':' and no directory", "true", false, "", ""},
        {"include-avatar text as received", "maybe:/tmp/textures", true, "maybe",
         "/tmp/textures"},
        // Stored, a longer reply would put the file over the size it is read up to.
        {"64 KiB in all, saved as received", std::string(kLongest, 'x') + ":/tmp/textures", true,
         std::string(kLongest, 'x'), "/tmp/textures"},
        {"one byte over 64 KiB", std::string(kLongest + 1, 'x') + ":/tmp/textures", false, "", "",
         "Settings must be at most 65536 bytes long"},
        {"5 MB", std::string(5000000, 'x') + ":/tmp/textures", false, "", "",
         "Settings must be at most 65536 bytes long"},
    });
}

TEST_F(SettingsWindow, RepliesWithoutAnInstallation) {
    open_window();
    check_replies({
        {"empty text equals the empty default", "true:", true, "true", ""},
        {"missing directory", "false:/tmp/missing", false, "", ""},
        {"existing directory", "false:/tmp/textures", true, "false", "/tmp/textures"},
    });
}

// Every event acts on the window that raised it, however many are open.
TEST_F(SettingsWindow, TwoWindowsNeverCross) {
    make_directories("/tmp/textures");
    write_file(kPreferences, preferences_file("true", "/tmp/stored"));
    const SvApiWindowHandle first = open_window();
    EXPECT_EQ(SVAPI_CALLBACK_DONE, standin::pick_menu(orvella::kSettings, nullptr));
    const SvApiWindowHandle second = standin::newest_open_window();
    ASSERT_NE(first, second);
    EXPECT_EQ("true:/tmp/stored", first_message(first));
    EXPECT_TRUE(state_of(second).messages.empty());

    // OK in the first saves and closes the first alone.
    EXPECT_EQ(SVAPI_CALLBACK_DONE, standin::raise_window_event(first, kReply, "false:/tmp/textures"));
    EXPECT_FALSE(state_of(first).open);
    EXPECT_TRUE(state_of(second).open);
    EXPECT_EQ(preferences_file("false", "/tmp/textures"), read_file(kPreferences));
    EXPECT_EQ("false:/tmp/textures", first_message(second));
    EXPECT_EQ(1u, state_of(second).messages.size());

    // A third window, opened while the second is open: cancelling the
    // second leaves the third, which saves and closes on its own.
    EXPECT_EQ(SVAPI_CALLBACK_DONE, standin::pick_menu(orvella::kSettings, nullptr));
    const SvApiWindowHandle third = standin::newest_open_window();
    EXPECT_EQ(SVAPI_CALLBACK_DONE, standin::raise_window_event(second, kReply, ""));
    EXPECT_FALSE(state_of(second).open);
    EXPECT_TRUE(state_of(third).open);
    EXPECT_EQ(SVAPI_CALLBACK_DONE, standin::raise_window_event(third, kReply, "true:/tmp/textures"));
    EXPECT_FALSE(state_of(third).open);
    EXPECT_EQ(preferences_file("true", "/tmp/textures"), read_file(kPreferences));
    EXPECT_TRUE(message_boxes().empty());
}

// A reply refused, or a save that did not store both values, says so; the
// window stays open with the file as it was, and once the cause is gone the
// same window saves.
TEST_F(SettingsWindow, RefusedOrFailedSaveShowsTheNoticeAndKeepsTheWindowOpen) {
    install_orvella();
    make_directories("/tmp/textures");
    const std::string old_file = preferences_file("false", "/tmp");
    struct Case {
        const char* name;
        std::function<void()> make, undo;
        std::string reply = "true:/tmp/textures";
        std::string notice = kNotSaved;
    };
    const std::vector<Case> cases = {
        {"a directory that does not exist", [] {}, [] {}, "true:/tmp/typo", kRejected},
        {"a folder in place of the file", [] { make_directories(kPreferences); },
         [] { remove_tree(kPreferences); }},
        {"no Preferences folder", [] { remove_tree(kHome + "/Library"); },
         [] { make_directories(kPreferencesDir); }},
        {"a read-only file in a read-only folder",
         [&] {
             write_file(kPreferences, old_file);
             ASSERT_EQ(0, ::chmod(kPreferences.c_str(), 0444));
             ASSERT_EQ(0, ::chmod(kPreferencesDir.c_str(), 0555));
         },
         [] {
             ASSERT_EQ(0, ::chmod(kPreferencesDir.c_str(), 0755));
             ASSERT_EQ(0, ::chmod(kPreferences.c_str(), 0644));
         }},
        // SaveFile's indentation would print these 2 branches, 14 KB, as
        // about 4 MB: more than a read takes.
        {"a file that would print larger than a read takes",
         [] {
             std::string branches;
             for (int i = 0; i < 2; ++i) branches += nested_elements(990);
             write_file(kPreferences, "<r>" + branches + "</r>");
         },
         [&] { write_file(kPreferences, old_file); }},
    };
    open_window();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.make();
        const std::vector<std::string> before = folder_entries(kPreferencesDir);
        const std::string before_file = read_file(kPreferences);
        EXPECT_EQ(SVAPI_CALLBACK_DONE, standin::pick_menu(orvella::kSettings, nullptr));
        const SvApiWindowHandle window = standin::newest_open_window();
        const std::size_t boxes_before = message_boxes().size();
        EXPECT_EQ(SVAPI_CALLBACK_FAILED, standin::raise_window_event(window, kReply, c.reply));
        EXPECT_TRUE(state_of(window).open);
        EXPECT_EQ(boxes_before + 1, message_boxes().size());
        EXPECT_EQ("0: " + c.notice, message_boxes().back());
        EXPECT_EQ(before, folder_entries(kPreferencesDir));
        EXPECT_EQ(before_file, read_file(kPreferences));

        c.undo();
        EXPECT_EQ(SVAPI_CALLBACK_DONE,
                  standin::raise_window_event(window, kReply, "true:/tmp/textures"));
        EXPECT_FALSE(state_of(window).open);
        EXPECT_EQ(preferences_file("true", "/tmp/textures"), read_file(kPreferences));
        remove_tree(kPreferences);
    }
}
