#include "settings/garvento_settings.h"

#include <cstring>
#include <exception>
#include <string>

#include "settings/plugin_settings.h"

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

// Window event kinds and the callback ids they are registered under.
const int kEventPageReady = 4;
const int kEventReply = 2;
const intptr_t kIdPageReady = 0;
const intptr_t kIdReply = 1;

const char kRejectedDirectory[] = "Textures directory must be an exisiting directory";
const int kNoticeBox = 0;

}  // namespace

GarventoSettings settings_window;

int open_settings_window() {
    SvApiWindowHandle window = 0;
    SvApiWndHTMLCreateUrl(kPage, kTitle, kOptions, kX, kY, kWidth, kHeight, &window);
    settings_window.set_window(window);
    SvApiWndHTMLEventRegister(window, kEventPageReady, &settings_window, kIdPageReady);
    SvApiWndHTMLEventRegister(window, kEventReply, &settings_window, kIdReply);
    return 0;
}

int GarventoSettings::OnCallback(SvApiGarmentId, intptr_t callback_id, const char* data) {
    // The host is no place for an exception, not even bad_alloc: a failed
    // event leaves the window as it was.
    try {
        if (callback_id == kIdPageReady) return send_current_settings();
        if (callback_id == kIdReply) return handle_reply(data ? data : "");
    } catch (...) {
    }
    return 0;
}

int GarventoSettings::send_current_settings() {
    const PluginSettings& settings = plugin_settings();
    const std::string message = settings.include_avatar() + ":" + settings.textures_dir();
    SvApiWndHTMLMessageSend(window_, message.c_str());
    return 0;
}

int GarventoSettings::handle_reply(const char* reply) {
    if (*reply == '\0') {
        SvApiWndHTMLClose(window_);
        return 0;
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
    const bool accepted = PluginSettings::is_existing_directory(textures_dir) ||
                          textures_dir == settings.default_textures_dir();
    if (!accepted) {
        int answer = 0;
        SvApiWndMessageBox(kRejectedDirectory, kNoticeBox, &answer);
        return 1;
    }
    settings.save_settings(include_avatar, textures_dir);
    SvApiWndHTMLClose(window_);
    return 0;
}

}  // namespace orvella
