// The settings window: the HTML page "/settings.html" in a host window, and
// the one callback object that answers its events.
//
// The "Settings" menu command calls open_settings_window() on the host's
// thread. It opens the window and registers settings_window for two events:
//   SVAPI_EVENT_PAGE_READY -> the window's ready id: the plug-in sends the
//       page the current settings, include-avatar text + ":" + textures
//       directory;
//   SVAPI_EVENT_PAGE_REPLY -> the window's reply id: "" cancels (the window
//       closes, nothing is saved); otherwise the text is split at its first
//       ":" into include-avatar text and textures directory (without ":" the
//       whole text is both), the directory is checked, both are saved to the
//       preferences file, and once they are stored the window closes.
// Texts pass as bytes, without quoting or any change of encoding.
//
// Several settings windows may be open at once: each open window has a
// number of its own (the lowest free one, so a lone window is always 0), and
// its events come under callback ids made from it. Every event acts on the
// window that raised it.
#pragma once

#include <stdint.h>

#include <cstddef>
#include <vector>

#include "host/sv_plugin_api.h"

namespace orvella {

// The callback ids window number n's events are registered under:
// 2n + kPageReadyCallback and 2n + kPageReplyCallback (0 and 1 for a lone
// window).
const intptr_t kPageReadyCallback = 0;
const intptr_t kPageReplyCallback = 1;
constexpr intptr_t ready_callback_id(std::size_t number) {
    return static_cast<intptr_t>(2 * number) + kPageReadyCallback;
}
constexpr intptr_t reply_callback_id(std::size_t number) {
    return static_cast<intptr_t>(2 * number) + kPageReplyCallback;
}

// A reply longer than this is refused unread: far above any directory path
// and the two words the page sends.
constexpr std::size_t kMaxReplyBytes = 64 * 1024;

class GarventoSettings : public SvApiCallbackBase {
public:
    GarventoSettings() = default;
    ~GarventoSettings() override {}

    // Takes the window just opened and returns its number: the lowest one
    // no open window has.
    std::size_t add_window(SvApiWindowHandle window);

    // Host thread. A ready id: sends the current settings to its window.
    // A reply id: handles the page's reply; returns SVAPI_CALLBACK_FAILED
    // when the reply was refused with a notice and the window stays open:
    // the textures directory was rejected ("Textures directory must be an
    // exisiting directory"), the reply is longer than kMaxReplyBytes
    // ("Settings must be at most 65536 bytes long"), or the save did not
    // store both values ("Settings could not be saved to " and the
    // preferences path). An id of no open window: nothing. Otherwise, and
    // when handling threw, SVAPI_CALLBACK_DONE. The garment id is ignored; a
    // null text counts as empty.
    int OnCallback(SvApiGarmentId garment, intptr_t callback_id,
                   const char* data) noexcept override;

private:
    // Whether a window of that number is open.
    bool is_open(std::size_t number) const;
    int send_current_settings(SvApiWindowHandle window);
    int handle_reply(std::size_t number, const char* reply);
    void close_window(std::size_t number);

    struct Window {
        SvApiWindowHandle handle;
        bool open;
    };
    // By number; a closed window's number is free for the next one.
    std::vector<Window> windows_;
};

// The one settings callback object, alive as long as the library.
extern GarventoSettings settings_window;

// Opens the settings window (page "/settings.html", title "Orvella
// Settings", fixed size, not resizable) and registers settings_window for
// its events. Host thread. Returns 0; the host's results are not examined.
int open_settings_window();

}  // namespace orvella
