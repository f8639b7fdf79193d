#include "plugin/thread_starter.h"

#include <pthread.h>

#include <memory>
#include <system_error>
#include <utility>

#include "plugin/thread_starter_for_testing.h"

namespace orvella {

namespace {

// The hand-off's own code uses a small part of its stack, even with a scene
// reply at the XML nesting limit (measured: docs/stack.md, "The hand-off thread" and
// "Nesting limit"). The rest of the 512 KiB is for what runs there and
// cannot be measured here: the renderer's live-link library and the host's
// session request, which on macOS have always run in a secondary thread's
// 512 KiB. Sanitizer and unoptimised builds ask for more (kBuildStackAllowance).

// pthread attributes, destroyed when the thread has been created (or not).
class ThreadAttributes {
public:
    ThreadAttributes() { check(::pthread_attr_init(&attributes_), "pthread_attr_init"); }
    ~ThreadAttributes() { ::pthread_attr_destroy(&attributes_); }
    ThreadAttributes(const ThreadAttributes&) = delete;
    ThreadAttributes& operator=(const ThreadAttributes&) = delete;

    pthread_attr_t* get() { return &attributes_; }

    static void check(int error, const char* what) {
        if (error != 0) throw std::system_error(error, std::generic_category(), what);
    }

private:
    pthread_attr_t attributes_;
};

void* run_body(void* body) noexcept {
    const std::unique_ptr<std::function<void()>> owned(static_cast<std::function<void()>*>(body));
    (*owned)();
    return nullptr;
}

void start_sized_thread(std::function<void()> body) {
    ThreadAttributes attributes;
    ThreadAttributes::check(::pthread_attr_setstacksize(attributes.get(),
                                                      kHandOffThreadStack),
                            "pthread_attr_setstacksize");
    ThreadAttributes::check(::pthread_attr_setdetachstate(attributes.get(), PTHREAD_CREATE_DETACHED),
                            "pthread_attr_setdetachstate");
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    pthread_t thread;
    ThreadAttributes::check(::pthread_create(&thread, attributes.get(), run_body, owned.get()),
                            "pthread_create");
    owned.release();  // run_body owns it now
}

ThreadStarter& current_starter() {
    static ThreadStarter starter = start_sized_thread;
    return starter;
}

}  // namespace

void start_detached_thread(std::function<void()> body) { current_starter()(std::move(body)); }

ThreadStarter set_thread_starter(ThreadStarter starter) {
    ThreadStarter previous = current_starter();
    current_starter() = starter ? starter : start_sized_thread;
    return previous;
}

}  // namespace orvella
