#include "settings/garvento_settings.h"

#include <cstring>
#include <exception>
#include <string>

#include "host/host_entry.h"
#include "host/message_box.h"
#include "settings/plugin_settings.h"
#include "support/path_tests.h"

namespace orvella {

namespace {

const char kPage[] = "/settings.html";
const char kTitle[] = "Orvella Settings";
const char kOptions[] =
    "{\"allow_resize\": false,\"enable_maximize\": false,\"enable_minimize\": false}";
const int kX = 660;
const int kY = 80;
const int kWidth = 500;
const int kHeight = 200;

const char kRejectedDirectory[] = "Textures directory must be an exisiting directory";
const char kReplyTooLong[] = "Settings must be at most 65536 bytes long";
const char kNotSaved[] = "Settings could not be saved to ";

static_assert(kMaxReplyBytes == 65536, "the notice names the bound");

}  // namespace

GarventoSettings settings_window;

int open_settings_window() {
    SvApiWindowHandle window = 0;
    SvApiWndHTMLCreateUrl(kPage, kTitle, kOptions, kX, kY, kWidth, kHeight, &window);
    const std::size_t number = settings_window.add_window(window);
    SvApiWndHTMLEventRegister(window, SVAPI_EVENT_PAGE_READY, &settings_window,
                              ready_callback_id(number));
    SvApiWndHTMLEventRegister(window, SVAPI_EVENT_PAGE_REPLY, &settings_window,
                              reply_callback_id(number));
    return 0;
}

std::size_t GarventoSettings::add_window(SvApiWindowHandle window) {
    std::size_t number = 0;
    while (number < windows_.size() && windows_[number].open) ++number;
    if (number == windows_.size()) windows_.push_back({});
    windows_[number] = {window, true};
    return number;
}

bool GarventoSettings::is_open(std::size_t number) const {
    return number < windows_.size() && windows_[number].open;
}

void GarventoSettings::close_window(std::size_t number) {
    windows_[number].open = false;
    SvApiWndHTMLClose(windows_[number].handle);
}

int GarventoSettings::OnCallback(SvApiGarmentId, intptr_t callback_id,
                                 const char* data) noexcept {
    // An event that threw, even for want of memory, leaves the window as it was.
    return host_entry(SVAPI_CALLBACK_DONE, [&]() -> int {
        if (callback_id < 0) return SVAPI_CALLBACK_DONE;
        const std::size_t number = static_cast<std::size_t>(callback_id) / 2;
        // An event of a window the plug-in closed, or never opened.
        if (!is_open(number)) return SVAPI_CALLBACK_DONE;
        if (callback_id == ready_callback_id(number))
            return send_current_settings(windows_[number].handle);
        return handle_reply(number, data ? data : "");
    });
}

int GarventoSettings::send_current_settings(SvApiWindowHandle window) {
    const StoredSettings stored = plugin_settings().read_settings();
    const std::string message = stored.include_avatar + ":" + stored.textures_dir;
    SvApiWndHTMLMessageSend(window, message.c_str());
    return SVAPI_CALLBACK_DONE;
}

int GarventoSettings::handle_reply(std::size_t number, const char* reply) {
    if (*reply == '\0') {
        close_window(number);
        return SVAPI_CALLBACK_DONE;
    }
    // Stored as it came, a longer reply would make the preferences file too
    // large to be read again, and every setting would read as its default.
    if (std::strlen(reply) > kMaxReplyBytes) {
        show_notice(kReplyTooLong);
        return SVAPI_CALLBACK_FAILED;
    }
    // The include-avatar text never holds ":", so only the first one
    // separates; the directory keeps any further ones.
    const std::string text(reply);
    std::string include_avatar = text;
    std::string textures_dir = text;
    const std::string::size_type colon = text.find(':');
    if (colon != std::string::npos) {
        include_avatar = text.substr(0, colon);
        textures_dir = text.substr(colon + 1);
    }

    const PluginSettings& settings = plugin_settings();
    // The default directory is accepted even while it does not exist yet.
    const bool accepted = is_existing_directory(textures_dir) ||
                          textures_dir == settings.default_textures_dir();
    if (!accepted) {
        show_notice(kRejectedDirectory);
        return SVAPI_CALLBACK_FAILED;
    }
    // A window that closed on a failed save would tell the user the new
    // values are stored; it stays open, so OK can be tried again.
    if (!settings.save_settings(include_avatar, textures_dir)) {
        show_notice(kNotSaved + settings.preferences_path());
        return SVAPI_CALLBACK_FAILED;
    }
    close_window(number);
    return SVAPI_CALLBACK_DONE;
}

}  // namespace orvella
