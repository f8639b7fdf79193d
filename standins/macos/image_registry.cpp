// The registry of mapped images: a list under one lock, never destroyed, so
// that a thread still running an image's code while the process exits can
// ask about it.
#include "standins/macos/image_registry.h"

#include <climits>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace macos {
namespace {

struct ExitHandler {
    void (*function)(void*);
    void* argument;
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

void run_handlers_of_every_image() {
    std::vector<void*> handles;
    {
        Registry& r = registry();
        std::lock_guard<std::mutex> lock(r.mutex);
        for (const Entry& e : r.entries) handles.push_back(e.handle);
    }
    for (auto it = handles.rbegin(); it != handles.rend(); ++it) run_exit_handlers(*it);
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
    std::lock_guard<std::mutex> lock(r.mutex);
    for (Entry& e : r.entries)
        if (e.info.header == dso) {
            e.exit_handlers.push_back({handler, argument});
            return true;
        }
    return false;
}

void register_image(void* handle, const ImageInfo& info) {
    static const bool at_exit = std::atexit(run_handlers_of_every_image) == 0;
    (void)at_exit;
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
