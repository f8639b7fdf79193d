// A process-wide object that neither exit handlers nor an unload destroy.
//
// A detached hand-off thread may still run while the host quits: whatever it
// uses must outlive the exit handlers. A function-local
//
//     static NeverDestroyed<std::mutex> mutex;
//
// is built on first use (under the usual once-guard) and never torn down:
// its own destructor is trivial, so nothing is registered to run at exit.
// For types whose destructor is not trivial on every platform, such as
// std::mutex with libc++.
#pragma once

#include <new>
#include <utility>

namespace orvella {

template <typename T>
class NeverDestroyed {
public:
    template <typename... Args>
    explicit NeverDestroyed(Args&&... args) {
        ::new (static_cast<void*>(storage_)) T(std::forward<Args>(args)...);
    }
    NeverDestroyed(const NeverDestroyed&) = delete;
    NeverDestroyed& operator=(const NeverDestroyed&) = delete;

    T& get() { return *std::launder(reinterpret_cast<T*>(storage_)); }

private:
    alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace orvella
