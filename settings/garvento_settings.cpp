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

}  // namespace

GarventoSettings settings_window;

int open_settings_window() {
    SvApiWindowHandle window = 0;
    SvApiWndHTMLCreateUrl(kPage, kTitle, kOptions, kX, kY, kWidth, kHeight, &window);
    settings_window.set_window(window);
    SvApiWndHTMLEventRegister(window, SVAPI_EVENT_PAGE_READY, &settings_window, kPageReadyCallback);
    SvApiWndHTMLEventRegister(window, SVAPI_EVENT_PAGE_REPLY, &settings_window, kPageReplyCallback);
    return 0;
}

int GarventoSettings::OnCallback(SvApiGarmentId, intptr_t callback_id,
                                 const char* data) noexcept {
    // An event that threw, even for want of memory, leaves the window as it was.
    return host_entry(SVAPI_CALLBACK_DONE, [&]() -> int {
        if (callback_id == kPageReadyCallback) return send_current_settings();
        if (callback_id == kPageReplyCallback) return handle_reply(data ? data : "");
        return SVAPI_CALLBACK_DONE;
    });
}

int GarventoSettings::send_current_settings() {
    const PluginSettings& settings = plugin_settings();
    const std::string message = settings.include_avatar() + ":" + settings.textures_dir();
    SvApiWndHTMLMessageSend(window_, message.c_str());
    return SVAPI_CALLBACK_DONE;
}

int GarventoSettings::handle_reply(const char* reply) {
    if (*reply == '\0') {
        SvApiWndHTMLClose(window_);
        return SVAPI_CALLBACK_DONE;
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
    settings.save_settings(include_avatar, textures_dir);
    SvApiWndHTMLClose(window_);
    return SVAPI_CALLBACK_DONE;
}

}  // namespace orvella
