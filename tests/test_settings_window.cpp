// The settings window from the host's side: the stand-in host library loads
// the built plug-in binary, picks "Settings" and plays the page's events.
// Every case runs in a fresh sandbox and so loads the plug-in afresh.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Texts of the message boxes the plug-in showed, each with its kind.
std::vector<std::string> shown_boxes() {
    std::vector<std::string> boxes;
    for (const standin::Call& call : plugin_calls_named("SvApiWndMessageBox"))
        boxes.push_back(call.args.at(0) + " (kind " + call.args.at(1) + ")");
    return boxes;
}

std::size_t shown_box_count() { return shown_boxes().size(); }

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
    // Every ready event reads the file anew.
    write_file(kPreferences, preferences_file("false", "/tmp/other"));
    EXPECT_EQ("false:/tmp/other", first_message(window));
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
    EXPECT_TRUE(shown_boxes().empty());
}

namespace {

// Replies, each to a window of its own: saved as split, or rejected with the
// notice, the window left open and SVAPI_CALLBACK_FAILED.
struct Reply {
    const char* name;
    std::string text;
    bool accepted;
    std::string avatar;  // the saved values when accepted
    std::string dir;
};

void check_replies(const std::vector<Reply>& replies) {
    make_directories("/tmp/textures");
    make_directories("/tmp/a:b");
    write_file("/tmp/file.txt", "not a folder");
    ASSERT_EQ(0, ::symlink("/tmp/textures", "/tmp/link"));
    for (const Reply& r : replies) {
        SCOPED_TRACE(r.name);
        remove_tree(kPreferences);
        const std::size_t boxes_before = shown_box_count();
        EXPECT_EQ(SVAPI_CALLBACK_DONE, standin::pick_menu(orvella::kSettings, nullptr));
        const SvApiWindowHandle window = standin::newest_open_window();
        const int result = standin::raise_window_event(window, kReply, r.text);
        const std::size_t boxes = shown_box_count() - boxes_before;
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
            EXPECT_EQ(kRejected + " (kind 0)", shown_boxes().back());
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

TEST_F(SettingsWindow, RejectedReplyCanBeCorrectedInTheSameWindow) {
    install_orvella();
    make_directories("/tmp/textures");
    const SvApiWindowHandle window = open_window();
    EXPECT_EQ(SVAPI_CALLBACK_FAILED, standin::raise_window_event(window, kReply, "true:/tmp/typo"));
    EXPECT_EQ(SVAPI_CALLBACK_DONE,
              standin::raise_window_event(window, kReply, "true:/tmp/textures"));
    EXPECT_EQ(preferences_file("true", "/tmp/textures"), read_file(kPreferences));
    EXPECT_FALSE(state_of(window).open);
    EXPECT_EQ(1u, shown_boxes().size());
    // The next window shows what was saved.
    EXPECT_EQ(SVAPI_CALLBACK_DONE, standin::pick_menu(orvella::kSettings, nullptr));
    EXPECT_EQ("true:/tmp/textures", first_message(standin::newest_open_window()));
}

TEST_F(SettingsWindow, EventsAnswerThroughTheNewestWindow) {
    const SvApiWindowHandle first = open_window();
    EXPECT_EQ(SVAPI_CALLBACK_DONE, standin::pick_menu(orvella::kSettings, nullptr));
    const SvApiWindowHandle second = standin::newest_open_window();
    ASSERT_NE(first, second);
    // The older window's cancel closes the newest one: the plug-in keeps one handle.
    EXPECT_EQ(SVAPI_CALLBACK_DONE, standin::raise_window_event(first, kReply, ""));
    EXPECT_TRUE(state_of(first).open);
    EXPECT_FALSE(state_of(second).open);
}

TEST_F(SettingsWindow, FolderInPlaceOfThePreferencesShowsDefaultsAndSavesNothing) {
    install_orvella();
    make_directories(kPreferences);
    const SvApiWindowHandle window = open_window();
    EXPECT_EQ("false:" + kDefaultDir, first_message(window));
    // The save fails as any failed save does: silently, and the window closes.
    EXPECT_EQ(SVAPI_CALLBACK_DONE,
              standin::raise_window_event(window, kReply, "true:" + kDefaultDir));
    EXPECT_FALSE(state_of(window).open);
    EXPECT_TRUE(shown_boxes().empty());
    struct stat info {};
    EXPECT_TRUE(::stat(kPreferences.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        << "the folder stays";
}

TEST_F(SettingsWindow, ReadOnlyPreferencesFolderStillSavesIntoItsFile) {
    make_directories("/tmp/textures");
    write_file(kPreferences, preferences_file("false", "/tmp"));
    ASSERT_EQ(0, ::chmod("/home/tester/Library/Preferences", 0555));
    const SvApiWindowHandle window = open_window();
    EXPECT_EQ(SVAPI_CALLBACK_DONE,
              standin::raise_window_event(window, kReply, "true:/tmp/textures"));
    EXPECT_EQ(preferences_file("true", "/tmp/textures"), read_file(kPreferences));
    EXPECT_FALSE(state_of(window).open);
}
