// The images the loader has mapped, for the parts of the system library that
// answer about them: dladdr and dlopen of an image's own path, the exit
// handlers an image registers, and the unwinder's search for the tables
// that cover a return address. Safe to call from any thread.
#ifndef ORVELLA_STANDINS_MACOS_IMAGE_REGISTRY_H
#define ORVELLA_STANDINS_MACOS_IMAGE_REGISTRY_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace macos {

struct SectionBytes {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};

// What the unwinder and dladdr need of one mapped image. Copied out of the
// registry, so it stays valid for the caller whatever is unloaded meanwhile
// (an image is never unloaded while one of its frames is on a stack).
struct ImageInfo {
    std::string path;                // as opened, the name dladdr reports
    std::uintptr_t header = 0;       // address of its mach header: its __dso_handle
    std::uintptr_t slide = 0;        // load address minus the address it was linked at
    std::uintptr_t start = 0;        // mapped range [start, end)
    std::uintptr_t end = 0;
    std::uintptr_t text_start = 0;   // __TEXT,__text range [text_start, text_end)
    std::uintptr_t text_end = 0;
    SectionBytes unwind_info;        // __TEXT,__unwind_info (empty when absent)
    SectionBytes eh_frame;           // __TEXT,__eh_frame (empty when absent)
};

// The image whose mapped range holds ADDRESS; false when none does.
bool image_containing(std::uintptr_t address, ImageInfo* out);

// The loaded image opened from PATH (compared as given, then as resolved by
// realpath), for dlopen of an image's own path; its handle or null.
void* image_handle_for_path(const std::string& path);

// Whether HANDLE is one macos_dlopen returned and is still open: the image's
// dlsym and dlclose tell image handles from the system's own with it.
bool is_image_handle(const void* handle);

// Records an exit handler an image registers (__cxa_atexit with its
// __dso_handle, the address of its mach header). False when DSO is no
// loaded image's header: the caller hands it to the system's own.
bool add_exit_handler(std::uintptr_t dso, void (*handler)(void*), void* argument);

// For the loader. An image is registered once it is mapped and bound, before
// its initializers run, and unregistered after its exit handlers ran.
void register_image(void* handle, const ImageInfo& info);
void unregister_image(void* handle);
// Runs the exit handlers the image of HANDLE registered, the last first, and
// forgets them. Those of an image still loaded when the process exits run
// then, in their place among the process's own exit handlers, as on a Mac.
void run_exit_handlers(void* handle);

}  // namespace macos

#endif
