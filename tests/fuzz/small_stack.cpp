#include "small_stack.h"

#include <pthread.h>

#include "fuzz_check.h"
#include "plugin/thread_starter.h"

namespace orvella_fuzz {
namespace {

void* run(void* body) {
    (*static_cast<const std::function<void()>*>(body))();
    return nullptr;
}

}  // namespace

void run_on_small_stack(const std::function<void()>& body) {
    pthread_attr_t attributes;
    FUZZ_CHECK(::pthread_attr_init(&attributes) == 0);
    FUZZ_CHECK(::pthread_attr_setstacksize(&attributes, orvella::kHandOffStackSize) == 0);
    pthread_t thread;
    FUZZ_CHECK(::pthread_create(&thread, &attributes, run,
                                const_cast<std::function<void()>*>(&body)) == 0);
    ::pthread_attr_destroy(&attributes);
    FUZZ_CHECK(::pthread_join(thread, nullptr) == 0);
}

}  // namespace orvella_fuzz
