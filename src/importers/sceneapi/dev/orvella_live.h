// The interface of Orvella's live-link library (qororvellalive6.so, or
// qororvellalive.so for version 5 and older) as far as the plug-in uses it.
//
// The library exports one C function, `orvella_live_initialize`, which the
// loader looks up with dlsym and calls once per successful load. Everything
// else is reached through two C++ virtual-function tables whose positions are
// fixed by the library:
//
//   OrvellaLive  entry 3  query_api()            -> QueryApi* (null: none now)
//   QueryApi     entry 1  attach_process(pid)    -> bool
//   QueryApi     entry 6  scene_xml()            -> NUL-terminated XML or null
//
// The other entries exist in the library but are never called by the plug-in;
// they are declared only to keep the three at their positions. Neither class
// has a virtual destructor (it would take two entries), and the plug-in never
// deletes either object nor frees the scene text: all belong to the library.
//
// QueryApi is stateful: attach_process selects the process that the next
// scene_xml describes. Callers serialise a whole attach/read/copy sequence
// (see LiveLinkLock in orvellalive_loader.h).
#pragma once

#include <cstdint>

namespace orvella {

class QueryApi {
public:
    virtual void reserved_0() = 0;  // entry 0, not called
    // Selects the running instance with this process id for the following
    // calls. False when that process cannot be queried (not running, not a
    // renderer, not ready).
    virtual bool attach_process(std::int64_t process_id) = 0;  // entry 1
    virtual void reserved_2() = 0;  // entries 2 to 5, not called
    virtual void reserved_3() = 0;
    virtual void reserved_4() = 0;
    virtual void reserved_5() = 0;
    // The attached instance's scene as XML, owned by the library and valid
    // until the next call into it; null when there is none.
    virtual const char* scene_xml() = 0;  // entry 6

protected:
    ~QueryApi() = default;
};

class OrvellaLive {
public:
    virtual void reserved_0() = 0;  // entries 0 to 2, not called
    virtual void reserved_1() = 0;
    virtual void reserved_2() = 0;
    // The query interface, or null when the library cannot offer one now;
    // asked again on every request.
    virtual QueryApi* query_api() = 0;  // entry 3

protected:
    ~OrvellaLive() = default;
};

// The library's exported creator: no arguments, the live object or null.
using OrvellaLiveInitialize = OrvellaLive* (*)();
inline constexpr const char kOrvellaLiveInitializeSymbol[] = "orvella_live_initialize";

}  // namespace orvella
