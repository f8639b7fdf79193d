// The stand-in host's state and the control surface over it.
#include "standins/garvento/standin_host_state.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

namespace standin {

const char kDefaultHostText[] = "{\"name\":\"Garvento\",\"version\":\"8.0.1\"}";

namespace {

// Made when the library loads, so the loading thread plays the host's
// main thread unless someone says otherwise.
HostState& g_loaded_state = HostState::get();

Call host_event(const std::string& what, std::vector<std::string> args, int result) {
    Call call;
    call.function = what;
    call.args = std::move(args);
    call.result = result;
    call.by_host = true;
    return call;
}

// Runs the oldest queued task, if any; false when the queue is empty.
bool run_one_task() {
    HostState& state = HostState::get();
    std::function<void()> task;
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        if (state.tasks.empty()) return false;
        task = std::move(state.tasks.front());
        state.tasks.pop_front();
    }
    task();
    return true;
}

}  // namespace

HostState::HostState() : driver(std::make_shared<WindowDriver>()) {}

HostState& HostState::get() {
    // Never destroyed: a plug-in's worker thread may still call the host
    // while the process exits, as it may in a real host.
    alignas(HostState) static unsigned char storage[sizeof(HostState)];
    static HostState* state = ::new (storage) HostState();
    return *state;
}

void HostState::log(Call call, std::unique_lock<std::mutex>& lock) {
    call.host_thread = on_host_thread();
    calls.push_back(call);
    std::function<void(const std::string&)> tell = listener;
    lock.unlock();
    if (tell) tell(describe(call));
}

std::string HostState::object_name(const void* object) {
    if (!object) return "null";
    auto found = objects.find(object);
    if (found == objects.end()) {
        found = objects.emplace(object, static_cast<int>(objects.size()) + 1).first;
    }
    return "object#" + std::to_string(found->second);
}

void HostState::clear() {
    calls.clear();
    objects.clear();
    strings.clear();
    strings_made = 0;
    host_text = kDefaultHostText;
    garments.clear();
    export_result = SVAPI_OK;
    exported_files.clear();
    answers.clear();
    identifier.clear();
    plugin_name.clear();
    menu.clear();
    session_handler = nullptr;
    next_window = 1;
    windows.clear();
    tasks.clear();
    requests_queued = 0;
    requests_delivered = 0;
}

Window* find_window(HostState& state, SvApiWindowHandle handle) {
    for (Window& window : state.windows) {
        if (window.state.request.handle == handle) return &window;
    }
    return nullptr;
}

// --- scripting -----------------------------------------------------------

void reset() {
    HostState& state = HostState::get();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.clear();
}

void clear_calls() {
    HostState& state = HostState::get();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.calls.clear();
}

void set_host_thread() {
    HostState& state = HostState::get();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.host_thread = std::this_thread::get_id();
}

void set_host_text(const std::string& text) {
    HostState& state = HostState::get();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.host_text = text;
}

SvApiGarmentId garment_id(int number) {
    return reinterpret_cast<SvApiGarmentId>(static_cast<intptr_t>(number));
}

void set_garment(SvApiGarmentId garment, const std::string& name) {
    HostState& state = HostState::get();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.garments[garment] = name;
}

void set_export_result(int code) {
    HostState& state = HostState::get();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.export_result = code;
}

void push_answer(int answer) {
    HostState& state = HostState::get();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.answers.push_back(answer);
}

void set_next_window_handle(SvApiWindowHandle handle) {
    HostState& state = HostState::get();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.next_window = handle;
}

void set_window_driver(std::shared_ptr<WindowDriver> driver) {
    HostState& state = HostState::get();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.driver = driver ? std::move(driver) : std::make_shared<WindowDriver>();
}

void set_event_listener(std::function<void(const std::string& line)> listener) {
    HostState& state = HostState::get();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.listener = std::move(listener);
}

// --- reading back --------------------------------------------------------

std::vector<Call> calls() {
    HostState& state = HostState::get();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.calls;
}

std::vector<Call> plugin_calls() {
    std::vector<Call> mine;
    for (Call& call : calls()) {
        if (!call.by_host) mine.push_back(std::move(call));
    }
    return mine;
}

std::vector<std::string> transcript() {
    std::vector<std::string> lines;
    for (const Call& call : calls()) lines.push_back(describe(call));
    return lines;
}

std::size_t live_strings() {
    HostState& state = HostState::get();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.strings.size();
}

std::string identifier() {
    HostState& state = HostState::get();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.identifier;
}

std::string plugin_name() {
    HostState& state = HostState::get();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.plugin_name;
}

std::vector<MenuEntry> menu_entries() {
    HostState& state = HostState::get();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.menu;
}

std::vector<WindowState> windows() {
    HostState& state = HostState::get();
    std::lock_guard<std::mutex> lock(state.mutex);
    std::vector<WindowState> all;
    for (const Window& window : state.windows) all.push_back(window.state);
    return all;
}

SvApiWindowHandle newest_open_window() {
    HostState& state = HostState::get();
    std::lock_guard<std::mutex> lock(state.mutex);
    for (auto it = state.windows.rbegin(); it != state.windows.rend(); ++it) {
        if (it->state.open) return it->state.request.handle;
    }
    return 0;
}

// --- acting as the host --------------------------------------------------

int pick_menu(intptr_t callback_id, SvApiGarmentId garment) {
    HostState& state = HostState::get();
    std::unique_lock<std::mutex> lock(state.mutex);
    if (state.menu.empty()) {
        state.log(host_event("menu pick", {std::to_string(callback_id),
                                           std::to_string(reinterpret_cast<intptr_t>(garment))}, -1),
                  lock);
        return -1;
    }
    SvApiCallbackBase* object = state.menu.front().callback;
    for (const MenuEntry& entry : state.menu) {
        if (entry.callback_id == callback_id) {
            object = entry.callback;
            break;
        }
    }
    lock.unlock();
    const int result = object->OnCallback(garment, callback_id, "");
    lock.lock();
    state.log(host_event("menu pick", {std::to_string(callback_id),
                                       std::to_string(reinterpret_cast<intptr_t>(garment))}, result),
              lock);
    return result;
}

int raise_window_event(SvApiWindowHandle handle, int kind, const std::string& text) {
    HostState& state = HostState::get();
    std::unique_lock<std::mutex> lock(state.mutex);
    const std::vector<std::string> args = {std::to_string(handle), std::to_string(kind), text};
    Window* window = find_window(state, handle);
    if (!window || !window->state.open || !window->events.count(kind)) {
        Call call = host_event("window event", args, -1);
        call.note = !window ? "no such window" : !window->state.open ? "window closed" : "nothing registered";
        state.log(std::move(call), lock);
        return -1;
    }
    const Registration target = window->events[kind];
    lock.unlock();
    const int result = target.callback->OnCallback(nullptr, target.callback_id, text.c_str());
    lock.lock();
    state.log(host_event("window event", args, result), lock);
    return result;
}

// --- the host thread's queue ---------------------------------------------

void post_to_host(std::function<void()> task) {
    HostState& state = HostState::get();
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        state.tasks.push_back(std::move(task));
    }
    state.work_arrived.notify_all();
}

void post_window_event(SvApiWindowHandle window, int kind, const std::string& text) {
    post_to_host([window, kind, text] { raise_window_event(window, kind, text); });
}

std::size_t pump() {
    std::size_t ran = 0;
    while (run_one_task()) ++ran;
    return ran;
}

bool pump_until(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    HostState& state = HostState::get();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        pump();
        if (done()) {
            std::lock_guard<std::mutex> lock(state.mutex);
            if (state.tasks.empty()) return true;
            continue;
        }
        std::unique_lock<std::mutex> lock(state.mutex);
        // done() may turn true without new work (a file appears, a worker
        // ends), so look again now and then even when nothing is queued.
        const auto wake = std::min(deadline, std::chrono::steady_clock::now() +
                                                 std::chrono::milliseconds(20));
        state.work_arrived.wait_until(lock, wake, [&] { return !state.tasks.empty(); });
        if (state.tasks.empty() && std::chrono::steady_clock::now() >= deadline) {
            lock.unlock();
            return done();
        }
    }
}

std::size_t queued_requests() {
    HostState& state = HostState::get();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.requests_queued;
}

std::vector<std::string> exported_files_left() {
    std::vector<std::string> files;
    {
        HostState& state = HostState::get();
        std::lock_guard<std::mutex> lock(state.mutex);
        files = state.exported_files;
    }
    std::vector<std::string> left;
    for (const std::string& file : files) {
        // Whatever is at the path counts, a dangling link too: links are not
        // followed, and a path that cannot be examined counts as gone.
        std::error_code error;
        const bool there = std::filesystem::exists(std::filesystem::symlink_status(file, error));
        if (there && std::find(left.begin(), left.end(), file) == left.end()) left.push_back(file);
    }
    return left;
}

std::size_t process_threads() {
    // A sanitizer runtime may start a thread of its own along with the first
    // thread a process makes; making (and ending) one first keeps it out of
    // every count taken to see whether the plug-in's threads have ended.
    static const bool primed = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)primed;
    std::size_t count = 0;
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator("/proc/self/task", error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error))
        ++count;
    return count;
}

std::size_t delivered_requests() {
    HostState& state = HostState::get();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.requests_delivered;
}

}  // namespace standin
