// Stand-in host library: every function of host/sv_plugin_api.h, behaving
// as the host does towards a plug-in, and recording each call with its
// arguments, in order.
#include <string>
#include <utility>

#include "host/sv_plugin_api.h"
#include "standins/garvento/standin_export.h"
#include "standins/garvento/standin_host_state.h"

using standin::Call;
using standin::HostState;

namespace {

// Host error codes the stand-in gives where a host would refuse.
const int kParamsInvalid = -3;
const int kInvalidGarment = -4;
const int kObjectNotFound = -16;
const int kInvalidIdentifier = -20;

std::string text_of(const char* text) { return text ? text : ""; }

std::string number(intptr_t value) { return std::to_string(value); }

std::string garment_number(SvApiGarmentId garment) {
    return number(reinterpret_cast<intptr_t>(garment));
}

Call make_call(const char* function, std::vector<std::string> args, int result = SVAPI_OK) {
    Call call;
    call.function = function;
    call.args = std::move(args);
    call.result = result;
    return call;
}

// Fills a live handle; false when the handle is not one of ours.
bool fill(HostState& state, SvApiString out, const std::string& text) {
    auto found = state.strings.find(out);
    if (found == state.strings.end()) return false;
    found->second->text = text;
    return true;
}

}  // namespace

extern "C" {

SvApiString SvApiStringCreate(void) {
    HostState& state = HostState::get();
    std::unique_lock<std::mutex> lock(state.mutex);
    auto data = std::make_unique<SvApiStringData>();
    SvApiString handle = data.get();
    state.strings.emplace(handle, std::move(data));
    ++state.strings_made;
    Call call = make_call("SvApiStringCreate", {});
    call.note = "string #" + std::to_string(state.strings_made);
    state.log(std::move(call), lock);
    return handle;
}

const char* SvApiStringGet(SvApiString s) {
    HostState& state = HostState::get();
    std::unique_lock<std::mutex> lock(state.mutex);
    auto found = state.strings.find(s);
    const char* text = found == state.strings.end() ? "" : found->second->text.c_str();
    Call call = make_call("SvApiStringGet", {text});
    if (found == state.strings.end()) call.note = "not a live string";
    state.log(std::move(call), lock);
    return text;
}

void SvApiStringRelease(SvApiString s) {
    HostState& state = HostState::get();
    std::unique_lock<std::mutex> lock(state.mutex);
    auto found = state.strings.find(s);
    Call call = make_call("SvApiStringRelease", {});
    if (found == state.strings.end()) {
        call.note = "not a live string";
    } else {
        call.args.push_back(found->second->text);
        state.strings.erase(found);
    }
    state.log(std::move(call), lock);
}

int SvApiHostApplicationGet(SvApiString out) {
    HostState& state = HostState::get();
    std::unique_lock<std::mutex> lock(state.mutex);
    const int result = fill(state, out, state.host_text) ? SVAPI_OK : kParamsInvalid;
    state.log(make_call("SvApiHostApplicationGet", {state.host_text}, result), lock);
    return result;
}

int SvApiGarmentNameGet(SvApiGarmentId garment, SvApiString out) {
    HostState& state = HostState::get();
    std::unique_lock<std::mutex> lock(state.mutex);
    auto found = state.garments.find(garment);
    int result = kInvalidGarment;
    std::string name;
    if (found != state.garments.end()) {
        name = found->second;
        result = fill(state, out, name) ? SVAPI_OK : kParamsInvalid;
    }
    state.log(make_call("SvApiGarmentNameGet", {garment_number(garment), name}, result), lock);
    return result;
}

int SvApiIdentifierSet(const char* identifier) {
    HostState& state = HostState::get();
    std::unique_lock<std::mutex> lock(state.mutex);
    state.identifier = text_of(identifier);
    state.log(make_call("SvApiIdentifierSet", {state.identifier}), lock);
    return SVAPI_OK;
}

int SvApiPluginNameSet(const char* name) {
    HostState& state = HostState::get();
    std::unique_lock<std::mutex> lock(state.mutex);
    state.plugin_name = text_of(name);
    state.log(make_call("SvApiPluginNameSet", {state.plugin_name}), lock);
    return SVAPI_OK;
}

int SvApiMenuFunctionAdd(const char* label, SvApiCallbackBase* callback, intptr_t callback_id) {
    HostState& state = HostState::get();
    std::unique_lock<std::mutex> lock(state.mutex);
    const int result = callback ? SVAPI_OK : kParamsInvalid;
    if (callback) state.menu.push_back({text_of(label), callback, callback_id});
    state.log(make_call("SvApiMenuFunctionAdd",
                        {text_of(label), state.object_name(callback), number(callback_id)}, result),
              lock);
    return result;
}

int SvApiMenuFunctionReloadAdd(void) {
    HostState& state = HostState::get();
    std::unique_lock<std::mutex> lock(state.mutex);
    state.log(make_call("SvApiMenuFunctionReloadAdd", {}), lock);
    return SVAPI_OK;
}

int SvApiRenderExport3DObject(SvApiGarmentId garment, const char* options_json) {
    HostState& state = HostState::get();
    std::unique_lock<std::mutex> lock(state.mutex);
    const std::string options = text_of(options_json);
    Call call = make_call("SvApiRenderExport3DObject", {garment_number(garment), options});
    auto found = state.garments.find(garment);
    if (state.export_result != SVAPI_OK) {
        call.result = state.export_result;
        call.note = "scripted failure";
    } else if (found == state.garments.end()) {
        call.result = kInvalidGarment;
        call.note = "no such garment";
    } else {
        const std::string name = found->second;
        lock.unlock();  // file work outside the lock
        const standin::ExportOutcome outcome = standin::write_export(name, options);
        lock.lock();
        call.result = outcome.result;
        call.note = outcome.note;
        if (!outcome.file.empty()) state.exported_files.push_back(outcome.file);
    }
    const int result = call.result;
    state.log(std::move(call), lock);
    return result;
}

int SvApiUpdateSessionFunctionSet_v2(SvApiCallbackBase* callback) {
    HostState& state = HostState::get();
    std::unique_lock<std::mutex> lock(state.mutex);
    state.session_handler = callback;
    state.log(make_call("SvApiUpdateSessionFunctionSet_v2", {state.object_name(callback)}), lock);
    return SVAPI_OK;
}

int SvApiUpdateSessionFunctionRequest_v2(const char* identifier, intptr_t callback_id,
                                         const char* data) {
    HostState& state = HostState::get();
    std::unique_lock<std::mutex> lock(state.mutex);
    const std::string id = text_of(identifier);
    const std::string text = text_of(data);
    Call call = make_call("SvApiUpdateSessionFunctionRequest_v2", {id, number(callback_id), text});
    // Requests are routed by the identifier the plug-in registered with.
    if (state.identifier.empty() || id != state.identifier) {
        call.result = kInvalidIdentifier;
        call.note = "unknown identifier";
        state.log(std::move(call), lock);
        return kInvalidIdentifier;
    }
    ++state.requests_queued;
    state.tasks.push_back([callback_id, text] {
        HostState& host = HostState::get();
        std::unique_lock<std::mutex> lock(host.mutex);
        ++host.requests_delivered;
        Call delivery;
        delivery.function = "session callback";
        delivery.args = {number(callback_id), text};
        delivery.by_host = true;
        SvApiCallbackBase* handler = host.session_handler;
        if (!handler) {
            delivery.result = -1;
            delivery.note = "no session handler";
            host.log(std::move(delivery), lock);
            return;
        }
        delivery.args.insert(delivery.args.begin(), host.object_name(handler));
        lock.unlock();
        delivery.result = handler->OnCallback(nullptr, callback_id, text.c_str());
        lock.lock();
        host.log(std::move(delivery), lock);
    });
    call.note = "queued";
    state.log(std::move(call), lock);
    state.work_arrived.notify_all();
    return SVAPI_OK;
}

int SvApiWndMessageBox(const char* text, int kind, int* answer) {
    HostState& state = HostState::get();
    std::unique_lock<std::mutex> lock(state.mutex);
    int given = SVAPI_ANSWER_OK;
    if (!state.answers.empty()) {
        given = state.answers.front();
        state.answers.pop_front();
    }
    if (answer) *answer = given;
    Call call = make_call("SvApiWndMessageBox", {text_of(text), std::to_string(kind)});
    call.note = "answer " + std::to_string(given);
    std::shared_ptr<standin::WindowDriver> driver = state.driver;
    state.log(std::move(call), lock);
    driver->on_message_box(text_of(text), kind);
    return SVAPI_OK;
}

int SvApiWndHTMLCreateUrl(const char* page, const char* title, const char* options, int x, int y,
                          int width, int height, SvApiWindowHandle* window) {
    HostState& state = HostState::get();
    std::unique_lock<std::mutex> lock(state.mutex);
    standin::WindowRequest request;
    request.handle = state.next_window++;
    request.page = text_of(page);
    request.title = text_of(title);
    request.options = text_of(options);
    request.x = x;
    request.y = y;
    request.width = width;
    request.height = height;
    std::shared_ptr<standin::WindowDriver> driver = state.driver;
    lock.unlock();
    const int result = driver->on_create(request);
    lock.lock();
    if (result == SVAPI_OK) {
        standin::Window made;
        made.state.request = request;
        state.windows.push_back(std::move(made));
        if (window) *window = request.handle;
    }
    state.log(make_call("SvApiWndHTMLCreateUrl",
                        {request.page, request.title, request.options, std::to_string(x),
                         std::to_string(y), std::to_string(width), std::to_string(height),
                         std::to_string(request.handle)},
                        result),
              lock);
    return result;
}

int SvApiWndHTMLEventRegister(SvApiWindowHandle window, int kind, SvApiCallbackBase* callback,
                              intptr_t callback_id) {
    HostState& state = HostState::get();
    std::unique_lock<std::mutex> lock(state.mutex);
    standin::Window* found = standin::find_window(state, window);
    int result = SVAPI_OK;
    if (!found || !found->state.open) {
        result = kObjectNotFound;
    } else if (!callback) {
        result = kParamsInvalid;
    } else {
        found->events[kind] = {callback, callback_id};
        found->state.registered_kinds.push_back(kind);
    }
    state.log(make_call("SvApiWndHTMLEventRegister",
                        {std::to_string(window), std::to_string(kind), state.object_name(callback),
                         number(callback_id)},
                        result),
              lock);
    return result;
}

int SvApiWndHTMLMessageSend(SvApiWindowHandle window, const char* text) {
    HostState& state = HostState::get();
    std::unique_lock<std::mutex> lock(state.mutex);
    standin::Window* found = standin::find_window(state, window);
    const std::string message = text_of(text);
    int result = kObjectNotFound;
    if (found && found->state.open) {
        found->state.messages.push_back(message);
        std::shared_ptr<standin::WindowDriver> driver = state.driver;
        lock.unlock();
        result = driver->on_message(window, message);
        lock.lock();
    }
    state.log(make_call("SvApiWndHTMLMessageSend", {std::to_string(window), message}, result), lock);
    return result;
}

int SvApiWndHTMLClose(SvApiWindowHandle window) {
    HostState& state = HostState::get();
    std::unique_lock<std::mutex> lock(state.mutex);
    standin::Window* found = standin::find_window(state, window);
    int result = kObjectNotFound;
    if (found && found->state.open) {
        found->state.open = false;
        found->events.clear();
        result = SVAPI_OK;
        std::shared_ptr<standin::WindowDriver> driver = state.driver;
        lock.unlock();
        driver->on_close(window);
        lock.lock();
    }
    state.log(make_call("SvApiWndHTMLClose", {std::to_string(window)}, result), lock);
    return result;
}

}  // extern "C"
