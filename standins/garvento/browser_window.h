// A window driver that shows the stand-in host's HTML windows in a web
// browser: it serves each window's page over HTTP on 127.0.0.1 and carries
// the page's events to the plug-in and the plug-in's messages to the page.
//
// Every window W (its handle, in decimal) lives under /window/W/:
//
//   GET  /window/W/PAGE         the page the plug-in named (for the settings
//                               window /window/W/settings.html), read from
//                               the page folder, with the bridge script
//                               injected right after <head>.
//   GET  /window/W/bridge.js    the bridge: defines window.svHost for the
//                               page (onmessage, onclose, ready(), send(text))
//                               on top of the three endpoints below.
//   POST /window/W/ready        the page can take messages: SVAPI_EVENT_PAGE_READY;
//                               any body is ignored, none is needed.
//   POST /window/W/reply        the page's reply: SVAPI_EVENT_PAGE_REPLY whose text is
//                               the request body, byte for byte ("" cancels).
//   GET  /window/W/next?after=N the first thing the host did to the window
//                               after sequence number N (start with 0). Waits
//                               up to 20 s; 204 when nothing came in time.
//                               200 with headers X-Seq (its number) and X-Type:
//                                 message  body: SvApiWndHTMLMessageSend's text
//                                 notice   body: a host message box's text
//                                 closed   body empty (the window was closed;
//                                          asked again, it answers the same)
//
// ready and reply answer 204 once the event is queued, 410 for a closed
// window; every path of an unknown window answers 404. A host message box
// is a notice in every open window (the bridge shows it with alert()); its
// answer still comes from the stand-in's script. A person can open the
// printed address in a browser; a script can drive the same window with curl:
//
//   curl -s -X POST http://127.0.0.1:PORT/window/1/ready
//   curl -s -i 'http://127.0.0.1:PORT/window/1/next?after=0'     # the settings
//   curl -s -X POST --data-binary 'true:/tmp' http://127.0.0.1:PORT/window/1/reply
//
// Threads: the HTTP server's threads only queue events and wait for window
// output; the page events reach the plug-in through standin::post_window_event,
// which the host program delivers on its main thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "standins/garvento/window_driver.h"

namespace httplib {
class Server;
}

namespace standin {

class BrowserWindow : public WindowDriver {
public:
    // Pages are read from `page_folder` + the page the plug-in names.
    explicit BrowserWindow(std::string page_folder);
    ~BrowserWindow() override;  // stops the server

    // Listens on 127.0.0.1:`port` (0: any free port). False, with the
    // reason in `error`, when the port cannot be bound.
    bool start(int port, std::string& error);
    int port() const { return port_; }
    // "http://127.0.0.1:PORT"
    std::string address() const;
    // The address at which the page of `window` is served, "" when unknown.
    std::string page_url(SvApiWindowHandle window) const;
    // True while some window the plug-in opened is still open.
    bool any_open() const;
    // Once the windows are closed: waits until every page that was listening
    // (asked /next at least once) has been told its window closed, so the
    // host does not go away under a page that is still to hear it. False
    // when `timeout` passed first.
    bool wait_until_pages_heard_close(std::chrono::milliseconds timeout);

    // Receives one line per window opened, naming its address, on the
    // host's thread (the host program prints it).
    void set_announce(std::function<void(const std::string& line)> announce);

    // Shows a host message box's text in every open window's page.
    void notice(const std::string& text);

    int on_create(const WindowRequest& window) override;
    int on_message(SvApiWindowHandle window, const std::string& text) override;
    void on_close(SvApiWindowHandle window) override;
    // Host message boxes show in the open windows' pages (as a notice).
    void on_message_box(const std::string& text, int kind) override;

private:
    struct Output {
        long seq;
        std::string type;
        std::string text;
    };
    struct Window {
        WindowRequest request;
        std::vector<Output> outputs;
        bool open = true;
        bool listened = false;       // a page asked /next
        bool closed_heard = false;   // and was answered "closed"
    };

    void add_output(SvApiWindowHandle window, const char* type, const std::string& text);
    void route();

    std::string page_folder_;
    std::function<void(const std::string&)> announce_;
    std::unique_ptr<httplib::Server> server_;
    std::thread server_thread_;
    int port_ = 0;

    mutable std::mutex mutex_;
    std::condition_variable output_arrived_;
    std::condition_variable close_heard_;
    std::map<SvApiWindowHandle, Window> windows_;
    long next_seq_ = 1;
    bool stopping_ = false;
};

}  // namespace standin
