#include "src/importers/sceneapi/dev/orvellalive_loader.h"

#include <dlfcn.h>

#include <new>
#include <utility>

#include "support/file_log.h"
#include "support/file_utils.h"
#include "support/installation_finder.h"
#include "support/never_destroyed.h"

namespace orvella {
namespace {

// Hand-off threads may still take it while the host quits.
std::mutex& live_link_mutex() {
    static NeverDestroyed<std::mutex> mutex;
    return mutex.get();
}

// The loader record: the live object (null until orvella_live_initialize
// returned one) and the library it came from (empty until a file opened).
struct OrvellaLiveLoader {
    OrvellaLive* live = nullptr;
    SharedLibrary library;
};

// The one loader record; null while absent, and published only with a live
// object. A loaded record lives in static storage and is never destroyed:
// the library behind it stays loaded until the process ends, and a worker
// may still use it while the process exits. (Static, not heap: nothing is
// left unreachable once the plug-in is unloaded.)
OrvellaLiveLoader* orvella_live_loader = nullptr;
alignas(OrvellaLiveLoader) unsigned char loaded_record[sizeof(OrvellaLiveLoader)];

}  // namespace

LiveLinkLock::LiveLinkLock() : guard_(live_link_mutex()) {}

SharedLibrary::~SharedLibrary() {
    if (handle_ != nullptr) ::dlclose(handle_);
}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
    if (this != &other) {
        if (handle_ != nullptr) ::dlclose(handle_);
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

void* SharedLibrary::symbol(const char* name) const {
    return handle_ == nullptr ? nullptr : ::dlsym(handle_, name);
}

SharedLibrary shared_library_open(const std::string& path) {
    LOG_LINE(logDEBUG) << "shared_library_open: " << path;
    return SharedLibrary(::dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL));
}

namespace {

// One loading attempt into an empty record, under the live-link lock: finds
// the executable directory, opens the library file there (never one
// elsewhere) and creates the live object. True when the record has one.
bool load_orvella_live(OrvellaLiveLoader& loader, int lowest, int highest) {
    int version = -1;
    const std::string directory =
        installation_finder().orvella_install_directory(lowest, highest, version);
    if (directory.empty()) return false;

    const std::string name = version > 5 ? "qororvellalive6" : "qororvellalive";
    // Only the installation's own file: a relative candidate would be found
    // in the host's working directory, where anybody may have put a library.
    loader.library = shared_library_open(join_path(directory, name) + ".so");
    if (!loader.library) {
        LOG_LINE(logWARNING) << "NO shared handle";
        return false;
    }

    if (void* initialize = loader.library.symbol(kOrvellaLiveInitializeSymbol))
        loader.live = reinterpret_cast<OrvellaLiveInitialize>(initialize)();
    LOG_LINE(logDEBUG4) << "Orvella live: " << static_cast<const void*>(loader.live);
    return loader.live != nullptr;
}

}  // namespace

QueryApi* qor_get_query_api(const LiveLinkLock&, int lowest, int highest) {
    LOG_LINE(logDEBUG4) << "qor_get_query_api -> orvella_live_loader: "
                        << static_cast<const void*>(orvella_live_loader);
    if (orvella_live_loader == nullptr) {
        // The record is published only once loaded; under the lock nobody
        // can see it in between, and an attempt that fails (or throws)
        // leaves the loader absent. Discarding it closes the library.
        OrvellaLiveLoader loader;
        if (!load_orvella_live(loader, lowest, highest)) return nullptr;
        orvella_live_loader = new (loaded_record) OrvellaLiveLoader(std::move(loader));
    }
    return orvella_live_loader->live->query_api();
}

}  // namespace orvella
