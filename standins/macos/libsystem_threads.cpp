// libSystem shims: threads, memory, the C++ runtime's needs and strings.
//
// macOS's pthread objects are a signature word and opaque bytes, and the
// image's C++ runtime uses mutexes, condition variables and once objects
// that only a static initializer ever set (the image imports no *_init for
// them, nor *_destroy). So each shim reads the object as the initializer
// left it: glibc's own object lives in the opaque bytes where it fits, and
// the initializer's zero bytes are glibc's initial state. Nothing is
// allocated for an object, so nothing outlives it and nothing needs a lock.
#include <pthread.h>
#include <strings.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <wchar.h>

#include <linux/futex.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "standins/macos/image_registry.h"
#include "standins/macos/libsystem.h"
#include "standins/macos/mac_errno.h"
#include "standins/macos/macos_loader_for_testing.h"
#include "macos_abi/threads_abi.h"

extern "C" int __cxa_atexit(void (*handler)(void*), void* argument, void* dso) noexcept;
extern "C" [[noreturn]] void __stack_chk_fail(void);

namespace macos {
namespace {

// ---- pthread objects -------------------------------------------------------

template <std::size_t OpaqueSize>
struct MacObject {
    long sig;
    unsigned char opaque[OpaqueSize];
};
using MacMutex = MacObject<MACOS_SIZEOF_PTHREAD_MUTEX___opaque>;
using MacCond = MacObject<MACOS_SIZEOF_PTHREAD_COND___opaque>;
using MacOnce = MacObject<MACOS_SIZEOF_PTHREAD_ONCE___opaque>;
using MacAttr = MacObject<MACOS_SIZEOF_PTHREAD_ATTR___opaque>;

template <typename Mac, long long Size, long long SigOffset, long long SigSize, long long OpaqueOffset>
constexpr bool same_layout() {
    return sizeof(Mac) == Size && offsetof(Mac, sig) == SigOffset && sizeof(Mac::sig) == SigSize &&
           offsetof(Mac, opaque) == OpaqueOffset;
}
static_assert(same_layout<MacMutex, MACOS_SIZEOF_PTHREAD_MUTEX, MACOS_OFFSETOF_PTHREAD_MUTEX___sig,
                          MACOS_SIZEOF_PTHREAD_MUTEX___sig, MACOS_OFFSETOF_PTHREAD_MUTEX___opaque>());
static_assert(same_layout<MacCond, MACOS_SIZEOF_PTHREAD_COND, MACOS_OFFSETOF_PTHREAD_COND___sig,
                          MACOS_SIZEOF_PTHREAD_COND___sig, MACOS_OFFSETOF_PTHREAD_COND___opaque>());
static_assert(same_layout<MacOnce, MACOS_SIZEOF_PTHREAD_ONCE, MACOS_OFFSETOF_PTHREAD_ONCE___sig,
                          MACOS_SIZEOF_PTHREAD_ONCE___sig, MACOS_OFFSETOF_PTHREAD_ONCE___opaque>());
static_assert(same_layout<MacAttr, MACOS_SIZEOF_PTHREAD_ATTR, MACOS_OFFSETOF_PTHREAD_ATTR___sig,
                          MACOS_SIZEOF_PTHREAD_ATTR___sig, MACOS_OFFSETOF_PTHREAD_ATTR___opaque>());

// glibc's object in the opaque bytes of the macOS one.
template <typename Glibc, std::size_t OpaqueSize>
Glibc* inside(MacObject<OpaqueSize>* object) {
    static_assert(sizeof(Glibc) <= OpaqueSize, "glibc's object fits the opaque bytes");
    static_assert(alignof(Glibc) <= alignof(MacObject<OpaqueSize>) &&
                  offsetof(MacObject<OpaqueSize>, opaque) % alignof(Glibc) == 0,
                  "and is aligned there");
    return reinterpret_cast<Glibc*>(object->opaque);
}

// The static initializers leave zeros after the signature, and zeros are
// glibc's initial state of a default mutex and a once object.
static_assert(MACOS_MUTEX_INITIALIZER_OPAQUE_NONZERO == 0 && MACOS_COND_INITIALIZER_OPAQUE_NONZERO == 0 &&
              MACOS_ONCE_INIT_OPAQUE_NONZERO == 0);
static_assert(PTHREAD_ONCE_INIT == 0);
constexpr bool glibc_default_mutex_is_zero() {
    constexpr pthread_mutex_t m = PTHREAD_MUTEX_INITIALIZER;
    const auto& d = m.__data;
    return d.__lock == 0 && d.__count == 0 && d.__owner == 0 && d.__nusers == 0 && d.__kind == 0 &&
           d.__spins == 0 && d.__elision == 0 && d.__list.__prev == nullptr && d.__list.__next == nullptr;
}
static_assert(glibc_default_mutex_is_zero());

int mac_einval() { return to_mac_errno(EINVAL); }

// A default mutex is all the image's initializers make. The error-checking
// and recursive initializers would need a glibc mutex of another kind,
// which zero bytes are not: such a mutex, like one never initialized, is
// refused with EINVAL as macOS refuses a mutex it does not recognise.
pthread_mutex_t* glibc_mutex(MacMutex* m) {
    return m->sig == MACOS_MUTEX_INITIALIZER_SIG ? inside<pthread_mutex_t>(m) : nullptr;
}

int mutex_lock(MacMutex* m) {
    pthread_mutex_t* mutex = glibc_mutex(m);
    return mutex != nullptr ? to_mac_errno(::pthread_mutex_lock(mutex)) : mac_einval();
}

int mutex_unlock(MacMutex* m) {
    pthread_mutex_t* mutex = glibc_mutex(m);
    return mutex != nullptr ? to_mac_errno(::pthread_mutex_unlock(mutex)) : mac_einval();
}

// glibc's condition variable (48 bytes) does not fit the 40 opaque bytes,
// and one kept elsewhere would be an allocation nothing frees (the image
// never destroys a condition variable). So the condition is a futex: a
// sequence number, read under the mutex before waiting, that a broadcast
// advances. A waiter whose number moved since does not sleep, so no
// broadcast after the waiter released the mutex is missed. Zero, the
// initializer's bytes, is its initial state.
std::uint32_t* sequence(MacCond* c) { return inside<std::uint32_t>(c); }

long futex(std::uint32_t* word, int operation, std::uint32_t value) {
    return ::syscall(SYS_futex, word, operation, value, nullptr, nullptr, 0);
}

int cond_wait(MacCond* c, MacMutex* m) {
    pthread_mutex_t* mutex = glibc_mutex(m);
    if (c->sig != MACOS_COND_INITIALIZER_SIG || mutex == nullptr) return mac_einval();
    const std::uint32_t seen = __atomic_load_n(sequence(c), __ATOMIC_SEQ_CST);
    if (const int error = ::pthread_mutex_unlock(mutex)) return to_mac_errno(error);
    // Woken, interrupted or already moved on: each returns, as a wait may.
    futex(sequence(c), FUTEX_WAIT_PRIVATE, seen);
    return to_mac_errno(::pthread_mutex_lock(mutex));
}

int cond_broadcast(MacCond* c) {
    if (c->sig != MACOS_COND_INITIALIZER_SIG) return mac_einval();
    __atomic_fetch_add(sequence(c), 1, __ATOMIC_SEQ_CST);
    futex(sequence(c), FUTEX_WAKE_PRIVATE, INT_MAX);
    return 0;
}

int once(MacOnce* o, void (*routine)()) {
    if (o->sig != MACOS_ONCE_INIT_SIG) return mac_einval();
    return to_mac_errno(::pthread_once(inside<pthread_once_t>(o), routine));
}

// Attributes are made by pthread_attr_init alone, so glibc's own (56 bytes)
// is initialised in the opaque bytes. The mark only tells an initialised
// attribute object from another: the image never reads it.
constexpr long kAttrInitialised = 0x6f7276656c6c61;  // this stand-in's own mark

pthread_attr_t* glibc_attr(MacAttr* a) {
    return a != nullptr && a->sig == kAttrInitialised ? inside<pthread_attr_t>(a) : nullptr;
}

int attr_init(MacAttr* a) {
    if (const int error = ::pthread_attr_init(inside<pthread_attr_t>(a))) return to_mac_errno(error);
    a->sig = kAttrInitialised;
    return 0;
}

int attr_destroy(MacAttr* a) {
    pthread_attr_t* attr = glibc_attr(a);
    if (attr == nullptr) return mac_einval();
    a->sig = 0;
    return to_mac_errno(::pthread_attr_destroy(attr));
}

int attr_setdetachstate(MacAttr* a, int state) {
    pthread_attr_t* attr = glibc_attr(a);
    if (attr == nullptr) return mac_einval();
    int glibc_state;
    if (state == MACOS_PTHREAD_CREATE_JOINABLE)
        glibc_state = PTHREAD_CREATE_JOINABLE;
    else if (state == MACOS_PTHREAD_CREATE_DETACHED)
        glibc_state = PTHREAD_CREATE_DETACHED;
    else
        return mac_einval();
    return to_mac_errno(::pthread_attr_setdetachstate(attr, glibc_state));
}

// macOS takes a stack of whole pages from its own minimum up; glibc's
// minimum is larger, so a size macOS takes but glibc would not is raised to
// glibc's: the thread gets at least the stack it asked for.
int attr_setstacksize(MacAttr* a, std::size_t size) {
    pthread_attr_t* attr = glibc_attr(a);
    if (attr == nullptr || size < MACOS_PTHREAD_STACK_MIN || size % MACOS_I386_PGBYTES != 0)
        return mac_einval();
    const long glibc_minimum = ::sysconf(_SC_THREAD_STACK_MIN);
    if (glibc_minimum > 0) size = std::max(size, static_cast<std::size_t>(glibc_minimum));
    return to_mac_errno(::pthread_attr_setstacksize(attr, size));
}

static_assert(sizeof(pthread_t) == MACOS_SIZEOF_PTHREAD, "a pthread_t is passed through as it is");

int create(pthread_t* thread, MacAttr* a, void* (*start)(void*), void* argument) {
    pthread_attr_t* attr = nullptr;
    if (a != nullptr && (attr = glibc_attr(a)) == nullptr) return mac_einval();
    return to_mac_errno(::pthread_create(thread, attr, start, argument));
}

// A key is an unsigned long on macOS, an unsigned int in glibc.
using MacKey = unsigned long;
static_assert(sizeof(MacKey) == MACOS_SIZEOF_PTHREAD_KEY);

int key_create(MacKey* key, void (*destructor)(void*)) {
    pthread_key_t glibc_key = 0;
    if (const int error = ::pthread_key_create(&glibc_key, destructor)) return to_mac_errno(error);
    *key = glibc_key;
    return 0;
}

void* getspecific(MacKey key) {
    return key <= UINT_MAX ? ::pthread_getspecific(static_cast<pthread_key_t>(key)) : nullptr;
}

int setspecific(MacKey key, const void* value) {
    if (key > UINT_MAX) return mac_einval();
    return to_mac_errno(::pthread_setspecific(static_cast<pthread_key_t>(key), value));
}

// The image takes a thread's Mach port for a number that names the thread
// while it lives (its C++ runtime marks a static initialisation in progress
// with it): the kernel's thread id is that number here. glibc tells no
// other thread's id, so any thread but the caller gets MACH_PORT_NULL.
using MachPort = unsigned int;
static_assert(sizeof(MachPort) == MACOS_SIZEOF_MACH_PORT);

MachPort mach_thread_np(pthread_t thread) {
    if (!::pthread_equal(thread, ::pthread_self())) return MACOS_MACH_PORT_NULL;
    return static_cast<MachPort>(::gettid());
}

// ---- memory ----------------------------------------------------------------

// Both systems' malloc align to max_align_t, which the image's operator new
// relies on.
static_assert(alignof(std::max_align_t) == MACOS_ALIGNOF_MAX_ALIGN);

// Allocations of the image still to go before one fails; 0 when none is to.
std::atomic<unsigned> g_allocations_before_failure{0};

bool this_allocation_fails() {
    unsigned left = g_allocations_before_failure.load(std::memory_order_relaxed);
    while (left != 0)
        if (g_allocations_before_failure.compare_exchange_weak(left, left - 1, std::memory_order_relaxed))
            return left == 1;
    return false;
}

void* refused() {
    *mac_errno_location() = to_mac_errno(ENOMEM);
    return nullptr;
}

void* image_malloc(std::size_t size) {
    return this_allocation_fails() ? refused() : ErrnoSynced<&::malloc>::call(size);
}

void* image_calloc(std::size_t count, std::size_t size) {
    return this_allocation_fails() ? refused() : ErrnoSynced<&::calloc>::call(count, size);
}

// realloc(p, 0) frees P and returns null in glibc, which the image would take
// for a failure that kept P; macOS returns a new object of the least size.
void* image_realloc(void* block, std::size_t size) {
    if (this_allocation_fails()) return refused();
    return ErrnoSynced<&::realloc>::call(block, block != nullptr && size == 0 ? 1 : size);
}

void* image_aligned_alloc(std::size_t alignment, std::size_t size) {
    return this_allocation_fails() ? refused() : ErrnoSynced<&::aligned_alloc>::call(alignment, size);
}

// ---- the C++ runtime and the compiler's needs -------------------------------

// A handler the image registers for its own __dso_handle runs when it is
// closed (before its code is unmapped); any other is the process's.
int cxa_atexit(void (*handler)(void*), void* argument, void* dso) {
    if (add_exit_handler(reinterpret_cast<std::uintptr_t>(dso), handler, argument)) return 0;
    return ::__cxa_atexit(handler, argument, dso);
}

// The canary the image's functions compare their stack frames against: the
// image reads one word.
std::uintptr_t random_canary() {
    std::uintptr_t canary = 0;
    ::arc4random_buf(&canary, sizeof canary);
    return canary;
}
std::uintptr_t g_stack_chk_guard = random_canary();

// Every lazy pointer is bound at load, so the image never reaches the binder.
[[noreturn]] void stub_binder_reached() {
    std::fputs("macos loader: dyld_stub_binder reached, but every import is bound at load\n", stderr);
    std::abort();
}

// ---- strings ---------------------------------------------------------------

static_assert(sizeof(wchar_t) == MACOS_SIZEOF_WCHAR, "wcslen counts the same characters");
static_assert(sizeof(std::size_t) == MACOS_SIZEOF_SIZE);

template <typename Function>
const void* address(Function* function) {
    return reinterpret_cast<const void*>(function);
}

const Shim kShims[] = {
    {"_pthread_attr_init", address(&attr_init)},
    {"_pthread_attr_destroy", address(&attr_destroy)},
    {"_pthread_attr_setdetachstate", address(&attr_setdetachstate)},
    {"_pthread_attr_setstacksize", address(&attr_setstacksize)},
    {"_pthread_cond_broadcast", address(&cond_broadcast)},
    {"_pthread_cond_wait", address(&cond_wait)},
    {"_pthread_create", address(&create)},
    {"_pthread_getspecific", address(&getspecific)},
    {"_pthread_setspecific", address(&setspecific)},
    {"_pthread_key_create", address(&key_create)},
    {"_pthread_mach_thread_np", address(&mach_thread_np)},
    {"_pthread_mutex_lock", address(&mutex_lock)},
    {"_pthread_mutex_unlock", address(&mutex_unlock)},
    {"_pthread_once", address(&once)},
    {"_pthread_self", address(&::pthread_self)},
    {"_malloc", address(&image_malloc)},
    {"_calloc", address(&image_calloc)},
    {"_realloc", address(&image_realloc)},
    {"_aligned_alloc", address(&image_aligned_alloc)},
    {"_free", address(&::free)},
    {"___cxa_atexit", address(&cxa_atexit)},
    {"___stack_chk_fail", address(&::__stack_chk_fail)},
    {"___stack_chk_guard", &g_stack_chk_guard},  // data: the variable itself
    {"dyld_stub_binder", address(&stub_binder_reached)},
    {"___bzero", address(&::bzero)},
    {"_memchr", address(static_cast<const void* (*)(const void*, int, std::size_t)>(&::memchr))},
    {"_memmem", address(&::memmem)},
    // Case folded as the C locale folds it, the only one the image's process sets.
    {"_strcasecmp", address(&::strcasecmp)},
    {"_strchr", address(static_cast<const char* (*)(const char*, int)>(&::strchr))},
    {"_strcmp", address(&::strcmp)},
    {"_strlen", address(&::strlen)},
    {"_strncmp", address(&::strncmp)},
    {"_strnlen", address(&::strnlen)},
    {"_wcslen", address(&::wcslen)},
};

}  // namespace

ShimTable thread_shims() { return {kShims, kShims + sizeof kShims / sizeof kShims[0]}; }

}  // namespace macos

void macos_fail_allocation_after(unsigned n) {
    macos::g_allocations_before_failure.store(n, std::memory_order_relaxed);
}
