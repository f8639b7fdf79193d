// Any bytes as the settings page's reply (SVAPI_EVENT_PAGE_REPLY), handled
// by the real settings window against the stand-in host library, with the
// preferences file in a throw-away home. Properties: the empty reply closes
// the window and saves nothing; a rejected directory or a reply over 64 KiB
// shows its notice, keeps
// the window open and the file unchanged, and returns SVAPI_CALLBACK_FAILED;
// an accepted one is saved (as a fresh file of the two values reads them),
// closes the window and returns SVAPI_CALLBACK_DONE, unless a value reads
// back in no file: then "Settings could not be saved to PATH", the window
// open, the file unchanged.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_support.h"
#include "settings/garvento_settings.h"
#include "settings/plugin_settings.h"
#include "support/path_tests.h"
#include "standins/garvento/standin_control.h"

using orvella::PluginSettings;
using orvella::plugin_settings;
using orvella::settings_window;
using orvella_fuzz::read_file;

namespace {

// Settings saved before every reply, so each input starts from the same file.
const char kSaved[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
    "<orvella_garvento_settings>\n"
    "    <IncludeAvatar>true</IncludeAvatar>\n"
    "    <TexturesDir>textures</TexturesDir>\n"
    "</orvella_garvento_settings>\n";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    orvella_fuzz::make_throwaway_home();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const PluginSettings& settings = plugin_settings();
    const std::string& path = settings.preferences_path();
    orvella_fuzz::write_file(path, kSaved);

    standin::reset();
    orvella::open_settings_window();
    // Every input's window is the lone open one: number 0.
    const SvApiWindowHandle window = standin::newest_open_window();
    standin::clear_calls();

    // The host hands the page's text over NUL-terminated.
    std::string reply(reinterpret_cast<const char*>(data), size);
    reply = reply.substr(0, reply.find('\0'));
    const int result =
        settings_window.OnCallback(nullptr, orvella::reply_callback_id(0), reply.c_str());
    const std::vector<standin::Call> calls = standin::plugin_calls();

    if (reply.empty()) {
        FUZZ_CHECK(result == SVAPI_CALLBACK_DONE);
        FUZZ_CHECK(calls.size() == 1 && calls[0].function == "SvApiWndHTMLClose");
        FUZZ_CHECK(read_file(path) == kSaved);
        return 0;
    }
    const std::string::size_type colon = reply.find(':');
    const std::string include_avatar = colon == std::string::npos ? reply : reply.substr(0, colon);
    const std::string textures_dir = colon == std::string::npos ? reply : reply.substr(colon + 1);
    const bool accepted = orvella::is_existing_directory(textures_dir) ||
                          textures_dir == settings.default_textures_dir();
    const bool too_long = reply.size() > orvella::kMaxReplyBytes;
    if (!accepted || too_long) {
        FUZZ_CHECK(result == SVAPI_CALLBACK_FAILED);
        FUZZ_CHECK(calls.size() == 1 && calls[0].function == "SvApiWndMessageBox");
        FUZZ_CHECK(!calls[0].args.empty() &&
                   calls[0].args[0] == (too_long ? "Settings must be at most 65536 bytes long"
                                                 : "Textures directory must be an exisiting directory"));
        FUZZ_CHECK(read_file(path) == kSaved);
        // Cancelled, so the next input's window is number 0 again.
        settings_window.OnCallback(nullptr, orvella::reply_callback_id(0), "");
        return 0;
    }
    // Saved as a fresh file of the two values reads them, or refused where
    // that reads back nothing (a value that is not UTF-8, say).
    std::string avatar_back;
    std::string dir_back;
    if (!orvella_fuzz::fresh_file_reads(include_avatar, textures_dir, avatar_back, dir_back)) {
        FUZZ_CHECK(result == SVAPI_CALLBACK_FAILED);
        FUZZ_CHECK(calls.size() == 1 && !calls[0].args.empty() &&
                   calls[0].args[0] == "Settings could not be saved to " + path);
        FUZZ_CHECK(read_file(path) == kSaved);
        settings_window.OnCallback(nullptr, orvella::reply_callback_id(0), "");
        return 0;
    }
    FUZZ_CHECK(result == SVAPI_CALLBACK_DONE);
    FUZZ_CHECK(!calls.empty() && calls.back().function == "SvApiWndHTMLClose");
    FUZZ_CHECK(!calls.back().args.empty() && calls.back().args[0] == std::to_string(window));
    const orvella::StoredSettings stored = settings.read_settings();
    FUZZ_CHECK(stored.include_avatar == (avatar_back.empty() ? "false" : avatar_back));
    FUZZ_CHECK(stored.textures_dir ==
               (dir_back.empty() ? settings.default_textures_dir() : dir_back));
    return 0;
}
