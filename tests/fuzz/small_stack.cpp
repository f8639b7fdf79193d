#include "small_stack.h"

#include <pthread.h>

#include <condition_variable>
#include <mutex>

#include "fuzz_check.h"
#include "plugin/thread_starter.h"
#include "support/never_destroyed.h"

namespace orvella_fuzz {
namespace {

// One thread of the small stack serves every input: a new thread per input
// (and, under AddressSanitizer, its new allocator cache and fake stack)
// would cost more than most inputs' work.
struct Worker {
    std::mutex mutex;
    std::condition_variable changed;
    const std::function<void()>* body = nullptr;  // the input being run
    bool done = false;
};

void* serve(void* argument) {
    Worker& worker = *static_cast<Worker*>(argument);
    std::unique_lock<std::mutex> lock(worker.mutex);
    for (;;) {
        worker.changed.wait(lock, [&] { return worker.body != nullptr && !worker.done; });
        (*worker.body)();
        worker.done = true;
        worker.changed.notify_all();
    }
}

// The worker waits on its mutex for good: neither is destroyed at exit.
Worker& started_worker() {
    static orvella::NeverDestroyed<Worker> never_destroyed;
    Worker& worker = never_destroyed.get();
    static const bool started = [&worker] {
        pthread_attr_t attributes;
        FUZZ_CHECK(::pthread_attr_init(&attributes) == 0);
        FUZZ_CHECK(::pthread_attr_setstacksize(&attributes, orvella::kHandOffStackSize) == 0);
        pthread_t thread;
        FUZZ_CHECK(::pthread_create(&thread, &attributes, serve, &worker) == 0);
        ::pthread_attr_destroy(&attributes);
        FUZZ_CHECK(::pthread_detach(thread) == 0);
        return true;
    }();
    (void)started;
    return worker;
}

}  // namespace

void run_on_small_stack(const std::function<void()>& body) {
    Worker& worker = started_worker();
    std::unique_lock<std::mutex> lock(worker.mutex);
    worker.body = &body;
    worker.done = false;
    worker.changed.notify_all();
    worker.changed.wait(lock, [&] { return worker.done; });
    worker.body = nullptr;
}

}  // namespace orvella_fuzz
