#include "small_stack.h"

#include <pthread.h>

#include <condition_variable>
#include <mutex>

#include "fuzz_check.h"
#include "plugin/thread_starter.h"
#include "support/never_destroyed.h"

namespace orvella_fuzz {
namespace {

// One thread of the small stack for the whole run, handed each input's work
// in turn: a thread made per input costs more than most inputs' checks
// (under AddressSanitizer, a fake stack mapped for every new thread).
class SmallStackThread {
public:
    SmallStackThread() {
        pthread_attr_t attributes;
        FUZZ_CHECK(::pthread_attr_init(&attributes) == 0);
        FUZZ_CHECK(::pthread_attr_setstacksize(&attributes, orvella::kHandOffStackSize) == 0);
        pthread_t thread;
        FUZZ_CHECK(::pthread_create(&thread, &attributes, serve, this) == 0);
        ::pthread_attr_destroy(&attributes);
        FUZZ_CHECK(::pthread_detach(thread) == 0);
    }

    void run(const std::function<void()>& body) {
        std::unique_lock<std::mutex> lock(mutex_);
        work_ = &body;
        changed_.notify_all();
        changed_.wait(lock, [this] { return work_ == nullptr; });
    }

private:
    static void* serve(void* self) {
        auto& thread = *static_cast<SmallStackThread*>(self);
        std::unique_lock<std::mutex> lock(thread.mutex_);
        for (;;) {
            thread.changed_.wait(lock, [&thread] { return thread.work_ != nullptr; });
            (*thread.work_)();
            thread.work_ = nullptr;
            thread.changed_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    const std::function<void()>* work_ = nullptr;
};

}  // namespace

void run_on_small_stack(const std::function<void()>& body) {
    static orvella::NeverDestroyed<SmallStackThread> thread;
    thread.get().run(body);
}

}  // namespace orvella_fuzz
