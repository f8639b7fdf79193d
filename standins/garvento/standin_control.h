// The stand-in host's control surface: how the host program and tests script
// the stand-in libSvPluginAPI, act as the host towards the plug-in, and read
// back everything the plug-in did.
//
// The library behind host/sv_plugin_api.h keeps one process-wide state.
// Every function here may be called from any thread unless it says "host
// thread": those call into the plug-in and must run on the thread that plays
// the host's main thread (by default the thread that loaded the library; see
// set_host_thread).
//
// Export files. On an export result of 0 the stand-in writes the file named
// by the option text's "path": a small ASCII FBX whose one model line reads
//     Model: 100000, "Model::<garment name>", "Mesh" {
// so a reader finds the name between `"Model::` and the next `"`.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/sv_plugin_api.h"
#include "standins/garvento/window_driver.h"

namespace standin {

// One thing that happened at the host boundary, in order.
struct STANDIN_EXPORT Call {
    // The plug-in's call ("SvApiMenuFunctionAdd") or, when by_host, what the
    // host did to the plug-in: "menu pick", "window event", "session callback".
    std::string function;
    // The arguments as text: texts as given ("" for null), numbers in
    // decimal, garment ids and window handles as numbers, callback objects
    // as "object#N" (N counts distinct objects in order of first sight).
    std::vector<std::string> args;
    int result = 0;            // what the call returned (the plug-in's result for host events)
    bool host_thread = true;   // made on the host's thread
    bool by_host = false;      // a host action, not a plug-in call
    std::string note;          // what the host made of it ("wrote /x.fbx", "answer 2")
};

// One readable line for a person: "menu entry added: \"Settings\" (callback id 1)".
STANDIN_EXPORT std::string describe(const Call& call);

// --- scripting -----------------------------------------------------------

// Forgets everything: calls, strings, registrations, windows, queued work,
// scripted values (back to the defaults below). Listener and driver stay.
STANDIN_EXPORT void reset();
// Forgets only the recorded calls; registrations, windows and scripting stay.
STANDIN_EXPORT void clear_calls();
// The thread that plays the host's main thread from now on.
STANDIN_EXPORT void set_host_thread();

// Default: {"name":"Garvento","version":"8.0.1"}
STANDIN_EXPORT void set_host_text(const std::string& text);
// Garment ids are small numbers handed over as pointers.
STANDIN_EXPORT SvApiGarmentId garment_id(int number);
STANDIN_EXPORT void set_garment(SvApiGarmentId garment, const std::string& name);
// The export service's result from now on (default 0: write the file).
STANDIN_EXPORT void set_export_result(int code);
// Answers of the next message boxes, in order; with the queue empty a box
// answers 1 (OK).
STANDIN_EXPORT void push_answer(int answer);
// The handle the next window gets (default 1; later windows count up).
STANDIN_EXPORT void set_next_window_handle(SvApiWindowHandle handle);
// Null restores the default driver.
STANDIN_EXPORT void set_window_driver(std::shared_ptr<WindowDriver> driver);
// Receives every host-visible event as it happens, as describe() writes it,
// on the thread of the event and outside the library's lock. Null: none.
STANDIN_EXPORT void set_event_listener(std::function<void(const std::string& line)> listener);

// --- reading back --------------------------------------------------------

STANDIN_EXPORT std::vector<Call> calls();
// Only the plug-in's own calls, named with their function, in order.
STANDIN_EXPORT std::vector<Call> plugin_calls();
// describe() of every call, in order.
STANDIN_EXPORT std::vector<std::string> transcript();
// String handles created and not yet released.
STANDIN_EXPORT std::size_t live_strings();
// Files the export service wrote that still exist: the plug-in's hand-off
// deletes each once it is done with it.
STANDIN_EXPORT std::vector<std::string> exported_files_left();
// Threads of this process (Linux; 0 where that cannot be told): a hand-off
// worker that has not ended yet still counts.
STANDIN_EXPORT std::size_t process_threads();
STANDIN_EXPORT std::string identifier();   // last SvApiIdentifierSet
STANDIN_EXPORT std::string plugin_name();  // last SvApiPluginNameSet

struct STANDIN_EXPORT MenuEntry {
    std::string label;
    SvApiCallbackBase* callback = nullptr;
    intptr_t callback_id = 0;
};
STANDIN_EXPORT std::vector<MenuEntry> menu_entries();

struct STANDIN_EXPORT WindowState {
    WindowRequest request;
    bool open = true;
    std::vector<int> registered_kinds;     // in order of registration
    std::vector<std::string> messages;     // SvApiWndHTMLMessageSend texts, in order
};
STANDIN_EXPORT std::vector<WindowState> windows();
// The window opened last and still open, or 0.
STANDIN_EXPORT SvApiWindowHandle newest_open_window();

// --- acting as the host (host thread) -------------------------------------

// The user picks the menu entry registered under `callback_id`: its object's
// OnCallback(garment, callback_id, ""). An id no entry has still reaches the
// object of the first entry, so a test can hand the menu any id. Returns the
// plug-in's result, or -1 when no entry is registered at all.
STANDIN_EXPORT int pick_menu(intptr_t callback_id, SvApiGarmentId garment);
// Delivers a page event now to the callback registered for `kind` on the
// open window. Returns the plug-in's result, or -1 when the window is not
// open or nothing is registered for the kind.
STANDIN_EXPORT int raise_window_event(SvApiWindowHandle window, int kind, const std::string& text);

// --- the host thread's queue ----------------------------------------------

// Any thread: the event is delivered by a later pump on the host thread.
STANDIN_EXPORT void post_window_event(SvApiWindowHandle window, int kind, const std::string& text);
// Any thread: `task` runs on the host thread at a later pump.
STANDIN_EXPORT void post_to_host(std::function<void()> task);
// Host thread: runs what is queued now (session requests, posted events and
// tasks, including what they queue in turn). Returns how many ran.
STANDIN_EXPORT std::size_t pump();
// Host thread: runs queued work as it arrives until `done()` holds with the
// queue empty, or until `timeout` has passed. `done` is checked on this
// thread, between tasks. Returns whether `done()` held.
STANDIN_EXPORT bool pump_until(const std::function<bool()>& done, std::chrono::milliseconds timeout);
// Session requests accepted (queued) and delivered so far.
STANDIN_EXPORT std::size_t queued_requests();
STANDIN_EXPORT std::size_t delivered_requests();

// --- the plug-in binary -----------------------------------------------------

// The plug-in loaded as a host loads it: dlopen with RTLD_NOW | RTLD_LOCAL,
// or a Mach-O plug-in through the stand-in for the Mac's loader
// (standins/macos/macos_loader.h); closed when the object goes. The host library must already be loaded
// (link against it), so the plug-in binds to this one.
class STANDIN_EXPORT PluginLibrary {
public:
    explicit PluginLibrary(const std::string& path);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    const std::string& error() const { return error_; }  // the loader's text of a failed load
    // Host thread. SvApiPluginInit's result, or -1 when it is not exported.
    int init();

private:
    void* handle_ = nullptr;
    bool mach_o_ = false;  // loaded by the Mac's loader stand-in, not dlopen
    std::string error_;
};

}  // namespace standin
