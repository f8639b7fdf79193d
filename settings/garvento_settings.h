// The settings window: the HTML page "/settings.html" in a host window, and
// the one callback object that answers its events.
//
// The "Settings" menu command calls open_settings_window() on the host's
// thread. It opens the window and registers settings_window for two events:
//   SVAPI_EVENT_PAGE_READY -> kPageReadyCallback: the plug-in sends the page
//       the current settings, include-avatar text + ":" + textures directory;
//   SVAPI_EVENT_PAGE_REPLY -> kPageReplyCallback: "" cancels (the window
//       closes, nothing is saved); otherwise the text is split at its first
//       ":" into include-avatar text and textures directory (without ":" the
//       whole text is both), the directory is checked, and on success both
//       are saved to the preferences file and the window closes.
// Texts pass as bytes, without quoting or any change of encoding.
#pragma once

#include <stdint.h>

#include "host/sv_plugin_api.h"

namespace orvella {

// The callback ids the window's events are registered under.
const intptr_t kPageReadyCallback = 0;
const intptr_t kPageReplyCallback = 1;

class GarventoSettings : public SvApiCallbackBase {
public:
    constexpr GarventoSettings() = default;
    ~GarventoSettings() override {}

    // The window that events are answered through: the one opened last.
    void set_window(SvApiWindowHandle window) { window_ = window; }
    SvApiWindowHandle window() const { return window_; }

    // Host thread. kPageReadyCallback: sends the current settings.
    // kPageReplyCallback: handles the page's reply; returns SVAPI_CALLBACK_FAILED when the
    // textures directory was rejected (the notice "Textures directory must
    // be an exisiting directory" was shown and the window stays open). Any
    // other id: nothing. Otherwise, and when handling threw,
    // SVAPI_CALLBACK_DONE. The garment id is ignored; a null text counts as
    // empty.
    int OnCallback(SvApiGarmentId garment, intptr_t callback_id,
                   const char* data) noexcept override;

private:
    int send_current_settings();
    int handle_reply(const char* reply);

    SvApiWindowHandle window_ = 0;
};

// The one settings callback object, alive as long as the library.
extern GarventoSettings settings_window;

// Opens the settings window (page "/settings.html", title "Orvella
// Settings", fixed size, not resizable) and registers settings_window for
// its events. Host thread. Returns 0; the host's results are not examined.
int open_settings_window();

}  // namespace orvella
