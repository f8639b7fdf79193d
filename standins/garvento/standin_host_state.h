// The stand-in host library's one process-wide state, shared by the host ABI
// (sv_plugin_api_standin.cpp) and the control surface (standin_control.h).
//
// One mutex guards everything. Nothing calls into the plug-in, a driver or
// the listener while holding it: callers take what they need, unlock, then
// call out, so the plug-in may call the host back from inside a callback.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/sv_plugin_api.h"
#include "standins/garvento/standin_control.h"

// The host's string behind an SvApiString handle.
struct SvApiStringData {
    std::string text;
};

namespace standin {

extern const char kDefaultHostText[];

struct Registration {
    SvApiCallbackBase* callback = nullptr;
    intptr_t callback_id = 0;
};

struct Window {
    WindowState state;
    std::map<int, Registration> events;  // by event kind; a later registration replaces
};

class HostState {
public:
    static HostState& get();

    // Appends `call` to the log and tells the listener; releases `lock`.
    void log(Call call, std::unique_lock<std::mutex>& lock);
    // "object#N" for a callback object (lock held).
    std::string object_name(const void* object);
    bool on_host_thread() const { return std::this_thread::get_id() == host_thread; }
    // Back to the state of a freshly loaded library (lock held); the
    // listener, the driver and the host thread stay.
    void clear();

    std::mutex mutex;
    std::condition_variable work_arrived;

    std::thread::id host_thread = std::this_thread::get_id();
    std::function<void(const std::string&)> listener;
    std::shared_ptr<WindowDriver> driver;

    std::vector<Call> calls;
    std::map<const void*, int> objects;
    std::map<SvApiString, std::unique_ptr<SvApiStringData>> strings;
    int strings_made = 0;

    std::string host_text = kDefaultHostText;
    std::map<SvApiGarmentId, std::string> garments;
    int export_result = SVAPI_OK;
    std::vector<std::string> exported_files;  // every file the export service wrote
    std::deque<int> answers;

    std::string identifier;
    std::string plugin_name;
    std::vector<MenuEntry> menu;
    SvApiCallbackBase* session_handler = nullptr;

    SvApiWindowHandle next_window = 1;
    std::vector<Window> windows;  // in order of opening

    std::deque<std::function<void()>> tasks;
    std::size_t requests_queued = 0;
    std::size_t requests_delivered = 0;

private:
    HostState();
};

// The window with `handle`, or null (lock held).
Window* find_window(HostState& state, SvApiWindowHandle handle);

}  // namespace standin
