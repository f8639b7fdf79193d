// The one guard between the host and the plug-in's C++. Every entry the host
// calls (SvApiPluginInit, each OnCallback) and the hand-off thread's body run
// their work through it: the host is C code and cannot catch an exception,
// and one that left a thread would end the host process. Any exception,
// bad_alloc included, becomes the entry's documented result instead.
#pragma once

#include <type_traits>
#include <utility>

namespace orvella {

// Returns body(), or `on_exception` when body throws.
template <typename Body>
std::invoke_result_t<Body&> host_entry(std::invoke_result_t<Body&> on_exception,
                                       Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return on_exception;
    }
}

// Runs body(); an exception ends it and nothing more.
template <typename Body>
void host_entry(Body&& body) noexcept {
    try {
        body();
    } catch (...) {
    }
}

}  // namespace orvella
