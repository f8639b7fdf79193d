// What stands behind the stand-in host's HTML windows.
//
// libSvPluginAPI keeps the book-keeping of every window itself (page, title,
// options, geometry, the callbacks registered per event kind, the messages
// sent, whether it is open) and tells a WindowDriver when the plug-in opens,
// writes to or closes a window. A driver shows the window somewhere (a
// browser page, a test's script); the default one shows nothing, since the
// host program already prints every call.
//
// The hooks run on the thread of the plug-in's call (the host's thread) and
// outside the library's lock. They must not call the plug-in back directly:
// a driver hands page events to the host with standin::post_window_event,
// which delivers them on the host's thread, as a real host does.
#pragma once

#include <string>

#include "host/sv_plugin_api.h"

#define STANDIN_EXPORT __attribute__((visibility("default")))

namespace standin {

// A window as the plug-in asked for it.
struct STANDIN_EXPORT WindowRequest {
    SvApiWindowHandle handle = 0;
    std::string page;
    std::string title;
    std::string options;
    int x = 0, y = 0, width = 0, height = 0;
};

class STANDIN_EXPORT WindowDriver {
public:
    virtual ~WindowDriver();
    // SvApiWndHTMLCreateUrl: a non-zero result is the host's error code; the
    // window then does not exist and the plug-in gets that code.
    virtual int on_create(const WindowRequest& window);
    // SvApiWndHTMLMessageSend on an open window; the result goes to the plug-in.
    virtual int on_message(SvApiWindowHandle window, const std::string& text);
    // SvApiWndHTMLClose on an open window; it is closed whatever this returns.
    virtual void on_close(SvApiWindowHandle window);
    // SvApiWndMessageBox, after its answer was chosen from the script: a
    // driver may show the text where the user looks (the answer stays).
    virtual void on_message_box(const std::string& text, int kind);
};

}  // namespace standin
