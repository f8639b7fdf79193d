// Loading the plug-in binary as a host does.
#include <dlfcn.h>

#include "standins/garvento/standin_control.h"

namespace standin {

PluginLibrary::PluginLibrary(const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = dlerror();
        error_ = why ? why : "dlopen failed";
    }
}

PluginLibrary::~PluginLibrary() {
    if (handle_) dlclose(handle_);
}

int PluginLibrary::init() {
    if (!handle_) return -1;
    using Init = int (*)();
    void* symbol = dlsym(handle_, "SvApiPluginInit");
    if (!symbol) return -1;
    return reinterpret_cast<Init>(symbol)();
}

}  // namespace standin
