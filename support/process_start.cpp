#include "support/process_start.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>

#ifdef __APPLE__
#include <crt_externs.h>
#elif defined(__GLIBC__)
#if __GLIBC__ < 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ < 34)
#error "posix_spawn_file_actions_addclosefrom_np needs glibc 2.34 or later"
#endif
extern char** environ;
#else
#error "closing the host's descriptors in the renderer is implemented for macOS and glibc only"
#endif

namespace orvella {
namespace {

// A shared library has no `environ` of its own on macOS.
char** host_environment() {
#ifdef __APPLE__
    return *::_NSGetEnviron();
#else
    return environ;
#endif
}

constexpr int kStandardStreams = 3;  // input, output, error

// A posix_spawn object, destroyed with its owner.
template <typename Object, int (*initialize)(Object*), int (*destroy)(Object*)>
class SpawnObject {
public:
    SpawnObject() : ready_(initialize(&object_) == 0) {}
    ~SpawnObject() {
        if (ready_) destroy(&object_);
    }
    SpawnObject(const SpawnObject&) = delete;
    SpawnObject& operator=(const SpawnObject&) = delete;
    bool ready() const { return ready_; }
    Object* get() { return &object_; }

private:
    Object object_;
    bool ready_;
};

using SpawnAttributes =
    SpawnObject<posix_spawnattr_t, ::posix_spawnattr_init, ::posix_spawnattr_destroy>;
using SpawnFileActions = SpawnObject<posix_spawn_file_actions_t, ::posix_spawn_file_actions_init,
                                     ::posix_spawn_file_actions_destroy>;

// Arranges that the new process keeps the standard streams and nothing else.
bool keep_only_standard_streams(SpawnFileActions& actions) {
#ifdef __APPLE__
    // Every descriptor is closed unless a file action names it (the flag is
    // set with the others below); a stream the host has closed is left
    // closed (naming it would fail the start).
    for (int fd = 0; fd < kStandardStreams; ++fd)
        if (::fcntl(fd, F_GETFD) != -1 &&
            ::posix_spawn_file_actions_addinherit_np(actions.get(), fd) != 0)
            return false;
    return true;
#else
    return ::posix_spawn_file_actions_addclosefrom_np(actions.get(), kStandardStreams) == 0;
#endif
}

// Starts the new process as a launcher would: no signal blocked, every
// signal at its default action. The host thread's mask and the signals the
// host ignores (hosts often ignore SIGPIPE) are the host's business, and a
// renderer that inherited them would neither die of a broken pipe nor hear
// a signal it waits for.
bool default_signals_and_flags(SpawnAttributes& attributes) {
    sigset_t none;
    sigset_t all;
    // Unqualified: macOS defines these two as macros.
    if (sigemptyset(&none) != 0 || sigfillset(&all) != 0) return false;
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
#ifdef __APPLE__
    flags |= POSIX_SPAWN_CLOEXEC_DEFAULT;
#endif
    return ::posix_spawnattr_setsigmask(attributes.get(), &none) == 0 &&
           ::posix_spawnattr_setsigdefault(attributes.get(), &all) == 0 &&
           ::posix_spawnattr_setflags(attributes.get(), flags) == 0;
}

}  // namespace

pid_t start_process(const char* path, char* const arguments[]) {
    SpawnAttributes attributes;
    SpawnFileActions actions;
    if (!attributes.ready() || !actions.ready()) return -1;
    if (!keep_only_standard_streams(actions) || !default_signals_and_flags(attributes)) return -1;
    // Both C libraries report a program that cannot be executed here, not
    // as an exit status of the new process: glibc waits for the exec in the
    // child (and reaps a child whose exec failed), and macOS creates the
    // process in a single system call.
    pid_t pid = -1;
    if (::posix_spawn(&pid, path, actions.get(), attributes.get(), arguments,
                      host_environment()) != 0)
        return -1;
    return pid;
}

}  // namespace orvella
