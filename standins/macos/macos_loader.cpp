// The C interface: images by path, each opened as many times as it is
// closed, under one lock (recursive: an image's initializers and exit
// handlers may open and close images themselves).
#include "standins/macos/macos_loader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "standins/macos/image_registry.h"
#include "standins/macos/mach_o_file.h"
#include "standins/macos/mach_o_image.h"

namespace {

using macos::MachOImage;

struct Loaded {
    std::unique_ptr<MachOImage> image;
    std::string resolved_path;
    int opens = 0;
};

struct Loader {
    std::recursive_mutex mutex;
    std::vector<Loaded> images;
};

Loader& loader() {
    // Deliberately never destroyed: a thread of an image may still run while
    // the process exits, and its image must stay mapped under it.
    static Loader& instance = *std::make_unique<Loader>().release();
    return instance;
}

thread_local std::string t_error;
thread_local bool t_has_error = false;

void set_error(std::string text) {
    t_error = std::move(text);
    t_has_error = true;
}

Loaded* find(Loader& l, const void* handle) {
    for (Loaded& entry : l.images)
        if (entry.image.get() == handle) return &entry;
    return nullptr;
}

}  // namespace

extern "C" void* macos_dlopen(const char* path) {
    if (path == nullptr || *path == '\0') {
        set_error("macos_dlopen: no path");
        return nullptr;
    }
    char buffer[PATH_MAX];
    if (::realpath(path, buffer) == nullptr) {
        set_error(std::string(path) + ": " + std::strerror(errno));
        return nullptr;
    }
    const std::string resolved(buffer);
    Loader& l = loader();
    std::lock_guard<std::recursive_mutex> lock(l.mutex);
    for (Loaded& entry : l.images)
        if (entry.resolved_path == resolved) {
            ++entry.opens;
            return entry.image.get();
        }
    std::string error;
    std::unique_ptr<MachOImage> image = MachOImage::load(path, &error);
    if (!image) {
        set_error(std::string(path) + ": " + error);
        return nullptr;
    }
    MachOImage* handle = image.get();
    macos::register_image(handle, handle->info());
    l.images.push_back(Loaded{std::move(image), resolved, 1});
    handle->run_initializers();
    return handle;
}

extern "C" void* macos_dlsym(void* image, const char* name) {
    Loader& l = loader();
    std::lock_guard<std::recursive_mutex> lock(l.mutex);
    Loaded* entry = find(l, image);
    if (entry == nullptr || name == nullptr) {
        set_error(entry ? "macos_dlsym: no name" : "macos_dlsym: not an open image");
        return nullptr;
    }
    std::string error;
    void* address = entry->image->exported(std::string("_") + name, &error);
    if (address == nullptr) set_error(entry->image->info().path + ": " + error);
    return address;
}

extern "C" int macos_dlclose(void* image) {
    Loader& l = loader();
    std::lock_guard<std::recursive_mutex> lock(l.mutex);
    Loaded* entry = find(l, image);
    if (entry == nullptr || entry->opens == 0) {
        set_error("macos_dlclose: not an open image");
        return -1;
    }
    if (--entry->opens > 0) return 0;
    macos::run_exit_handlers(image);
    macos::unregister_image(image);
    // Found again: an exit handler may have opened or closed images meanwhile.
    for (auto it = l.images.begin(); it != l.images.end(); ++it)
        if (it->image.get() == image && it->opens == 0) {
            l.images.erase(it);
            break;
        }
    return 0;
}

extern "C" const char* macos_dlerror(void) {
    if (!t_has_error) return nullptr;
    t_has_error = false;
    return t_error.c_str();
}

extern "C" int macos_is_mach_o(const char* path) {
    if (path == nullptr) return 0;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    std::uint8_t magic[4] = {};
    const ssize_t n = ::read(fd, magic, sizeof magic);
    ::close(fd);
    return n == static_cast<ssize_t>(sizeof magic) && macos::is_mach_o_magic(magic, sizeof magic);
}
