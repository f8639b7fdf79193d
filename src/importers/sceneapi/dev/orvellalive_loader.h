// Finds, loads and keeps Orvella's live-link library and hands its query
// interface to the renderer import.
//
// Called only from hand-off worker threads. The loader record and the
// library's query interface are shared by every hand-off and are stateful
// (attach_process selects what scene_xml describes), so every use happens
// under one process-wide lock: a caller takes a LiveLinkLock, and holds it
// for the whole attempt, from qor_get_query_api through attach_process and
// scene_xml until it has copied the reply text. The lock is demanded by the
// signatures below, so the loader cannot be reached without it.
//
// Lifecycle: absent (no record) -> loading -> loaded. A failed load discards
// the record and closes the library it opened, so the next request starts
// over (probe, the library file, the log lines). Once loaded, the record,
// the live object and the library stay until the process ends.
#pragma once

#include <mutex>
#include <string>

#include "src/importers/sceneapi/dev/orvella_live.h"

namespace orvella {

// Holds the process-wide live-link lock for its lifetime.
class LiveLinkLock {
public:
    LiveLinkLock();
    LiveLinkLock(const LiveLinkLock&) = delete;
    LiveLinkLock& operator=(const LiveLinkLock&) = delete;

private:
    std::lock_guard<std::mutex> guard_;
};

// An open shared library, closed with dlclose when the owner lets it go.
class SharedLibrary {
public:
    SharedLibrary() = default;
    explicit SharedLibrary(void* handle) : handle_(handle) {}
    ~SharedLibrary();
    SharedLibrary(SharedLibrary&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    SharedLibrary& operator=(SharedLibrary&& other) noexcept;
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    explicit operator bool() const { return handle_ != nullptr; }
    // The address of an exported symbol, or null.
    void* symbol(const char* name) const;

private:
    void* handle_ = nullptr;
};

// The query interface of the installed Orvella's live-link library, loading
// it on first use; null when there is no installation, no library file, no
// live object, or query_api() gives none. [lowest, highest] are the normal
// builds probed for the installation (the hand-off passes 8 and 9); the
// "_floating" builds 20 down to 5 are probed as well. Logs its steps.
QueryApi* qor_get_query_api(const LiveLinkLock& held, int lowest, int highest);

// Logs and opens one library file (RTLD_LAZY | RTLD_LOCAL); empty on failure,
// whose reason is not looked at.
SharedLibrary shared_library_open(const std::string& path);

}  // namespace orvella
