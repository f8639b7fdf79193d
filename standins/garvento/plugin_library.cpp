// Loading the plug-in binary as a host does: a Mach-O plug-in through the
// stand-in for the Mac's loader, any other with dlopen.
#include <dlfcn.h>

#include "standins/garvento/standin_control.h"
#include "standins/macos/macos_loader.h"

namespace standin {

PluginLibrary::PluginLibrary(const std::string& path) : mach_o_(macos_is_mach_o(path.c_str()) != 0) {
    handle_ = mach_o_ ? macos_dlopen(path.c_str()) : dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = mach_o_ ? macos_dlerror() : dlerror();
        error_ = why ? why : "the plug-in did not load";
    }
}

PluginLibrary::~PluginLibrary() {
    if (!handle_) return;
    if (mach_o_)
        macos_dlclose(handle_);
    else
        dlclose(handle_);
}

int PluginLibrary::init() {
    if (!handle_) return -1;
    using Init = int (*)();
    void* symbol = mach_o_ ? macos_dlsym(handle_, "SvApiPluginInit") : dlsym(handle_, "SvApiPluginInit");
    if (!symbol) return -1;
    return reinterpret_cast<Init>(symbol)();
}

}  // namespace standin
