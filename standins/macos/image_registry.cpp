// The registry of mapped images: a list under one lock, never destroyed, so
// that a thread still running an image's code while the process exits can
// ask about it.
#include "standins/macos/image_registry.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

extern "C" int __cxa_atexit(void (*function)(void*), void* argument, void* dso);
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace macos {
namespace {

struct ExitHandler {
    void (*function)(void*);
    void* argument;
    std::uintptr_t id;  // the process's own exit record that runs it if still pending
};

struct Entry {
    void* handle;
    ImageInfo info;
    std::string resolved_path;  // realpath of info.path, for dlopen by another spelling
    std::vector<ExitHandler> exit_handlers;
};

struct Registry {
    std::mutex mutex;
    std::vector<Entry> entries;  // in load order
    std::uintptr_t last_handler_id = 0;
};

Registry& registry() {
    // Deliberately never destroyed (see above).
    static Registry& instance = *std::make_unique<Registry>().release();
    return instance;
}

Entry* find(Registry& r, const void* handle) {
    for (Entry& e : r.entries)
        if (e.handle == handle) return &e;
    return nullptr;
}

std::string resolved(const std::string& path) {
    char buffer[PATH_MAX];
    return ::realpath(path.c_str(), buffer) ? std::string(buffer) : std::string();
}

// At the process's exit: the image's handler registered with this record,
// unless its image was closed (and the handler run) before.
void run_at_exit(void* record) {
    const auto id = reinterpret_cast<std::uintptr_t>(record);
    ExitHandler pending {};
    {
        Registry& r = registry();
        std::lock_guard<std::mutex> lock(r.mutex);
        for (Entry& e : r.entries) {
            const auto it = std::find_if(e.exit_handlers.begin(), e.exit_handlers.end(),
                                         [id](const ExitHandler& h) { return h.id == id; });
            if (it != e.exit_handlers.end()) {
                pending = *it;
                e.exit_handlers.erase(it);
                break;
            }
        }
    }
    if (pending.function) pending.function(pending.argument);
}

}  // namespace

bool image_containing(std::uintptr_t address, ImageInfo* out) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (const Entry& e : r.entries)
        if (address >= e.info.start && address < e.info.end) {
            *out = e.info;
            return true;
        }
    return false;
}

void* image_handle_for_path(const std::string& path) {
    Registry& r = registry();
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        for (const Entry& e : r.entries)
            if (e.info.path == path) return e.handle;
    }
    const std::string real = resolved(path);
    if (real.empty()) return nullptr;
    std::lock_guard<std::mutex> lock(r.mutex);
    for (const Entry& e : r.entries)
        if (e.resolved_path == real) return e.handle;
    return nullptr;
}

bool is_image_handle(const void* handle) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return handle != nullptr && find(r, handle) != nullptr;
}

bool add_exit_handler(std::uintptr_t dso, void (*handler)(void*), void* argument) {
    Registry& r = registry();
    std::uintptr_t id = 0;
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        for (Entry& e : r.entries)
            if (e.info.header == dso) {
                id = ++r.last_handler_id;
                e.exit_handlers.push_back({handler, argument, id});
                break;
            }
    }
    if (id == 0) return false;
    // The Mac keeps one list of exit handlers for the whole process and runs
    // it backwards at exit: so a handler still pending then runs in its place
    // among the process's own, here too.
    __cxa_atexit(run_at_exit, reinterpret_cast<void*>(id), nullptr);
    return true;
}

void register_image(void* handle, const ImageInfo& info) {
    Entry entry {handle, info, resolved(info.path), {}};
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.entries.push_back(std::move(entry));
}

void unregister_image(void* handle) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (auto it = r.entries.begin(); it != r.entries.end(); ++it)
        if (it->handle == handle) {
            r.entries.erase(it);
            return;
        }
}

void run_exit_handlers(void* handle) {
    // One at a time, outside the lock: a handler may register another, or
    // ask the registry about its image.
    Registry& r = registry();
    for (;;) {
        ExitHandler next {};
        {
            std::lock_guard<std::mutex> lock(r.mutex);
            Entry* e = find(r, handle);
            if (e == nullptr || e->exit_handlers.empty()) return;
            next = e->exit_handlers.back();
            e->exit_handlers.pop_back();
        }
        next.function(next.argument);
    }
}

}  // namespace macos
