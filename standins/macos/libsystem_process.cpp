// libSystem shims: processes, spawn, users, environment, time, errno, dl*.
#include <dlfcn.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "macos_abi/process_abi.h"
#include "standins/macos/image_registry.h"
#include "standins/macos/libsystem.h"
#include "standins/macos/mac_errno.h"
#include "standins/macos/macos_loader.h"
#include "standins/macos/signal_names.h"
#include "standins/macos/sysconf_names.h"

extern char** environ;

namespace macos {
namespace {

// A macOS layout, held member by member against the headers' offsets and sizes.
#define HOLD(Type, label, member)                                                 \
    static_assert(offsetof(Type, member) == MACOS_OFFSETOF_##label##_##member && \
                  sizeof(Type::member) == MACOS_SIZEOF_##label##_##member)

// glibc's struct tm, struct timezone and Dl_info are macOS's: they pass unchanged.
using Tm = struct tm;
using Timezone = struct timezone;
HOLD(Tm, TM, tm_sec);
HOLD(Tm, TM, tm_min);
HOLD(Tm, TM, tm_hour);
HOLD(Tm, TM, tm_mday);
HOLD(Tm, TM, tm_mon);
HOLD(Tm, TM, tm_year);
HOLD(Tm, TM, tm_wday);
HOLD(Tm, TM, tm_yday);
HOLD(Tm, TM, tm_isdst);
HOLD(Tm, TM, tm_gmtoff);
HOLD(Tm, TM, tm_zone);
static_assert(sizeof(struct tm) == MACOS_SIZEOF_TM);
HOLD(Timezone, TIMEZONE, tz_minuteswest);
HOLD(Timezone, TIMEZONE, tz_dsttime);
static_assert(sizeof(struct timezone) == MACOS_SIZEOF_TIMEZONE);
HOLD(Dl_info, DL_INFO, dli_fname);
HOLD(Dl_info, DL_INFO, dli_fbase);
HOLD(Dl_info, DL_INFO, dli_sname);
HOLD(Dl_info, DL_INFO, dli_saddr);
static_assert(sizeof(Dl_info) == MACOS_SIZEOF_DL_INFO);
static_assert(sizeof(std::time_t) == MACOS_SIZEOF_TIME_T && sizeof(std::clock_t) == MACOS_SIZEOF_CLOCK_T &&
              CLOCKS_PER_SEC == MACOS_CLOCKS_PER_SEC && sizeof(useconds_t) == MACOS_SIZEOF_USECONDS_T &&
              sizeof(uid_t) == MACOS_SIZEOF_UID_T && sizeof(pid_t) == MACOS_SIZEOF_PID_T);

// struct timeval: tv_usec is 32 bits on macOS.
struct MacTimeval {
    std::int64_t tv_sec;
    std::int32_t tv_usec;
};
HOLD(MacTimeval, TIMEVAL, tv_sec);
HOLD(MacTimeval, TIMEVAL, tv_usec);
static_assert(sizeof(MacTimeval) == MACOS_SIZEOF_TIMEVAL);

// struct passwd: macOS adds a change time, a login class and an expiry.
struct MacPasswd {
    char* pw_name;
    char* pw_passwd;
    std::uint32_t pw_uid;
    std::uint32_t pw_gid;
    std::int64_t pw_change;
    char* pw_class;
    char* pw_gecos;
    char* pw_dir;
    char* pw_shell;
    std::int64_t pw_expire;
};
HOLD(MacPasswd, PASSWD, pw_name);
HOLD(MacPasswd, PASSWD, pw_passwd);
HOLD(MacPasswd, PASSWD, pw_uid);
HOLD(MacPasswd, PASSWD, pw_gid);
HOLD(MacPasswd, PASSWD, pw_change);
HOLD(MacPasswd, PASSWD, pw_class);
HOLD(MacPasswd, PASSWD, pw_gecos);
HOLD(MacPasswd, PASSWD, pw_dir);
HOLD(MacPasswd, PASSWD, pw_shell);
HOLD(MacPasswd, PASSWD, pw_expire);
static_assert(sizeof(MacPasswd) == MACOS_SIZEOF_PASSWD);
#undef HOLD

int fail(int linux_errno) {
    *mac_errno_location() = to_mac_errno(linux_errno);
    return -1;
}

// ---- signals ----

// sigset_t is 32 bits on macOS, bit N-1 for signal N.
using MacSigset = std::uint32_t;
static_assert(sizeof(MacSigset) == MACOS_SIZEOF_SIGSET);

struct SignalPair {
    int mac;
    int linux_signal;
};
#define PAIR(name) {static_cast<int>(MACOS_##name), name},
constexpr SignalPair kSignals[] = {SIGNAL_NAMES(PAIR)};
#undef PAIR

constexpr MacSigset mac_signal_bit(int mac_signal) { return MacSigset {1} << (mac_signal - 1); }
constexpr MacSigset kEveryMacSignal = mac_signal_bit(static_cast<int>(MACOS_NSIG)) - 1;

// A set holding every signal macOS has is every signal here, the real-time
// ones too; otherwise each signal goes over by name. SIGEMT and SIGINFO have
// no Linux signal to block or reset.
sigset_t to_linux_sigset(MacSigset mac) {
    sigset_t set;
    if ((mac & kEveryMacSignal) == kEveryMacSignal) {
        sigfillset(&set);
        return set;
    }
    sigemptyset(&set);
    for (const SignalPair& s : kSignals)
        if ((mac & mac_signal_bit(s.mac)) != 0) sigaddset(&set, s.linux_signal);
    return set;
}

// A Linux signal macOS has no number for (SIGSTKFLT, SIGPWR, the real-time
// ones) is reported past macOS's last, where it names none of its signals.
int to_mac_signal(int linux_signal) {
    for (const SignalPair& s : kSignals)
        if (s.linux_signal == linux_signal) return s.mac;
    return static_cast<int>(MACOS_NSIG) + linux_signal;
}

// ---- processes ----

int to_mac_wait_status(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status) * MACOS_EXIT_STATUS_UNIT;
    if (WIFSIGNALED(status))
        return to_mac_signal(WTERMSIG(status)) * MACOS_TERM_SIGNAL_UNIT |
               (WCOREDUMP(status) ? MACOS_WCOREFLAG : 0);
    if (WIFSTOPPED(status)) return to_mac_signal(WSTOPSIG(status)) * MACOS_STOP_SIGNAL_UNIT | MACOS__WSTOPPED;
    // macOS reports a continued child as stopped by SIGCONT.
    return MACOS_SIGCONT * MACOS_STOP_SIGNAL_UNIT | MACOS__WSTOPPED;
}

pid_t mac_waitpid(pid_t pid, int* status, int options) {
    if ((options & ~static_cast<int>(MACOS_WNOHANG | MACOS_WUNTRACED | MACOS_WCONTINUED)) != 0)
        return fail(EINVAL);
    const int linux_options = ((options & MACOS_WNOHANG) != 0 ? WNOHANG : 0) |
                              ((options & MACOS_WUNTRACED) != 0 ? WUNTRACED : 0) |
                              ((options & MACOS_WCONTINUED) != 0 ? WCONTINUED : 0);
    int linux_status = 0;
    errno_to_linux();
    const pid_t result = ::waitpid(pid, &linux_status, linux_options);
    errno_to_mac();
    if (result > 0 && status != nullptr) *status = to_mac_wait_status(linux_status);
    return result;
}

// posix_spawnattr_t and posix_spawn_file_actions_t are pointers on macOS,
// to objects their init calls allocate: here a glibc object and what glibc
// has no field for.
static_assert(MACOS_SIZEOF_POSIX_SPAWNATTR == sizeof(void*) &&
              MACOS_SIZEOF_POSIX_SPAWN_FILE_ACTIONS == sizeof(void*));

struct SpawnAttributes {
    posix_spawnattr_t glibc;
    int mac_flags = 0;
};

// The only file action the image can add is an inheritance.
struct SpawnFileActions {
    std::vector<int> inherited;
};

int mac_posix_spawnattr_init(SpawnAttributes** attributes) {
    SpawnAttributes* made = new (std::nothrow) SpawnAttributes;
    if (made == nullptr) return to_mac_errno(ENOMEM);
    const int error = ::posix_spawnattr_init(&made->glibc);
    if (error != 0) {
        delete made;
        return to_mac_errno(error);
    }
    *attributes = made;
    return 0;
}

int mac_posix_spawnattr_destroy(SpawnAttributes** attributes) {
    if (attributes == nullptr || *attributes == nullptr) return to_mac_errno(EINVAL);
    ::posix_spawnattr_destroy(&(*attributes)->glibc);
    delete *attributes;
    *attributes = nullptr;
    return 0;
}

// POSIX_SPAWN_CLOEXEC_DEFAULT is kept for posix_spawn, which builds the file
// actions; SETEXEC, START_SUSPENDED and the scheduling flags fail.
int mac_posix_spawnattr_setflags(SpawnAttributes** attributes, short flags) {
    if (attributes == nullptr || *attributes == nullptr) return to_mac_errno(EINVAL);
    struct FlagPair {
        int mac;
        int linux_flag;
    };
    static constexpr FlagPair kFlags[] = {
        {MACOS_POSIX_SPAWN_RESETIDS, POSIX_SPAWN_RESETIDS},     {MACOS_POSIX_SPAWN_SETPGROUP, POSIX_SPAWN_SETPGROUP},
        {MACOS_POSIX_SPAWN_SETSIGDEF, POSIX_SPAWN_SETSIGDEF},   {MACOS_POSIX_SPAWN_SETSIGMASK, POSIX_SPAWN_SETSIGMASK},
        {MACOS_POSIX_SPAWN_SETSID, POSIX_SPAWN_SETSID},         {MACOS_POSIX_SPAWN_CLOEXEC_DEFAULT, 0},
    };
    const int mac = static_cast<unsigned short>(flags);
    int rest = mac;
    int linux_flags = 0;
    for (const FlagPair& f : kFlags) {
        if ((rest & f.mac) == 0) continue;
        linux_flags |= f.linux_flag;
        rest &= ~f.mac;
    }
    if (rest != 0) return to_mac_errno(EINVAL);
    const int error = ::posix_spawnattr_setflags(&(*attributes)->glibc, static_cast<short>(linux_flags));
    if (error != 0) return to_mac_errno(error);
    (*attributes)->mac_flags = mac;
    return 0;
}

int mac_posix_spawnattr_setsigmask(SpawnAttributes** attributes, const MacSigset* mask) {
    if (attributes == nullptr || *attributes == nullptr || mask == nullptr) return to_mac_errno(EINVAL);
    const sigset_t set = to_linux_sigset(*mask);
    return to_mac_errno(::posix_spawnattr_setsigmask(&(*attributes)->glibc, &set));
}

int mac_posix_spawnattr_setsigdefault(SpawnAttributes** attributes, const MacSigset* signals) {
    if (attributes == nullptr || *attributes == nullptr || signals == nullptr) return to_mac_errno(EINVAL);
    const sigset_t set = to_linux_sigset(*signals);
    return to_mac_errno(::posix_spawnattr_setsigdefault(&(*attributes)->glibc, &set));
}

int mac_posix_spawn_file_actions_init(SpawnFileActions** actions) {
    SpawnFileActions* made = new (std::nothrow) SpawnFileActions;
    if (made == nullptr) return to_mac_errno(ENOMEM);
    *actions = made;
    return 0;
}

int mac_posix_spawn_file_actions_destroy(SpawnFileActions** actions) {
    if (actions == nullptr || *actions == nullptr) return to_mac_errno(EINVAL);
    delete *actions;
    *actions = nullptr;
    return 0;
}

int mac_posix_spawn_file_actions_addinherit_np(SpawnFileActions** actions, int fd) {
    if (actions == nullptr || *actions == nullptr) return to_mac_errno(EINVAL);
    if (fd < 0 || fd >= ::sysconf(_SC_OPEN_MAX)) return to_mac_errno(EBADF);
    try {
        (*actions)->inherited.push_back(fd);
    } catch (const std::bad_alloc&) {
        return to_mac_errno(ENOMEM);
    }
    return 0;
}

// glibc's file actions for one spawn, destroyed with it.
class GlibcFileActions {
public:
    GlibcFileActions() : error_(::posix_spawn_file_actions_init(&actions_)) {}
    ~GlibcFileActions() {
        if (ready_) ::posix_spawn_file_actions_destroy(&actions_);
    }
    GlibcFileActions(const GlibcFileActions&) = delete;
    GlibcFileActions& operator=(const GlibcFileActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }
    int error() const { return error_; }
    void add(int error) {
        if (error_ == 0) error_ = error;
    }

private:
    posix_spawn_file_actions_t actions_;
    int error_;
    bool ready_ = error_ == 0;
};

// An inherited descriptor is dup2'd onto itself, which clears its
// close-on-exec flag in the child (and fails the spawn, as macOS does, when
// it is not open). With POSIX_SPAWN_CLOEXEC_DEFAULT every other descriptor
// is closed: those below the highest inherited one each, the rest at once.
void build_file_actions(const SpawnFileActions* actions, bool close_by_default, GlibcFileActions& glibc) {
    std::vector<int> inherited;
    if (actions != nullptr) inherited = actions->inherited;
    std::sort(inherited.begin(), inherited.end());
    inherited.erase(std::unique(inherited.begin(), inherited.end()), inherited.end());
    for (int fd : inherited) glibc.add(::posix_spawn_file_actions_adddup2(glibc.get(), fd, fd));
    if (!close_by_default) return;
    int next = 0;
    for (int fd : inherited) {
        for (; next < fd; ++next) glibc.add(::posix_spawn_file_actions_addclose(glibc.get(), next));
        next = fd + 1;
    }
    glibc.add(::posix_spawn_file_actions_addclosefrom_np(glibc.get(), next));
}

int mac_posix_spawn(pid_t* pid, const char* path, SpawnFileActions* const* actions,
                    SpawnAttributes* const* attributes, char* const arguments[], char* const environment[]) {
    if ((actions != nullptr && *actions == nullptr) || (attributes != nullptr && *attributes == nullptr))
        return to_mac_errno(EINVAL);
    const SpawnAttributes* attr = attributes != nullptr ? *attributes : nullptr;
    const bool close_by_default = attr != nullptr && (attr->mac_flags & MACOS_POSIX_SPAWN_CLOEXEC_DEFAULT) != 0;
    GlibcFileActions glibc_actions;
    try {
        build_file_actions(actions != nullptr ? *actions : nullptr, close_by_default, glibc_actions);
    } catch (const std::bad_alloc&) {
        return to_mac_errno(ENOMEM);
    }
    if (glibc_actions.error() != 0) return to_mac_errno(glibc_actions.error());
    return to_mac_errno(::posix_spawn(pid, path, glibc_actions.get(), attr != nullptr ? &attr->glibc : nullptr,
                                      arguments, environment));
}

// ---- users, environment, system ----

// macOS has a login class glibc does not: an empty one, kept in the
// caller's buffer with the other strings. Errors are returned, not set.
int mac_getpwuid_r(uid_t uid, MacPasswd* entry, char* buffer, std::size_t size, MacPasswd** result) {
    *result = nullptr;
    if (size == 0) return to_mac_errno(ERANGE);
    struct passwd linux_entry {};
    struct passwd* found = nullptr;
    errno_to_linux();
    const int error = ::getpwuid_r(uid, &linux_entry, buffer, size - 1, &found);
    errno_to_mac();
    if (error != 0) return to_mac_errno(error);
    if (found == nullptr) return 0;
    char* const no_class = buffer + size - 1;
    *no_class = '\0';
    *entry = MacPasswd {linux_entry.pw_name, linux_entry.pw_passwd, linux_entry.pw_uid, linux_entry.pw_gid, 0,
                        no_class,           linux_entry.pw_gecos,  linux_entry.pw_dir, linux_entry.pw_shell, 0};
    *result = entry;
    return 0;
}

struct NamePair {
    int mac;
    int linux_name;
};
#define PAIR(name) {static_cast<int>(MACOS_##name), name},
constexpr NamePair kSysconfNames[] = {SYSCONF_NAMES(PAIR)};
#undef PAIR

// The value for this process, asked of glibc by the same name.
long mac_sysconf(int name) {
    for (const NamePair& n : kSysconfNames) {
        if (n.mac != name) continue;
        errno_to_linux();
        const long value = ::sysconf(n.linux_name);
        errno_to_mac();
        return value;
    }
    return fail(EINVAL);
}

char*** mac_NSGetEnviron() { return &environ; }

void mac_perror(const char* prefix) {
    errno_to_linux();
    std::perror(prefix);
}

// The XSI form; a macOS errno Linux has no error for is unknown here.
int mac_strerror_r(int mac_errnum, char* buffer, std::size_t size) {
    const int linux_errnum = to_linux_errno(mac_errnum);
    char scratch[128];
    const char* text = scratch;
    int error = 0;
    const bool known = linux_errnum != EINVAL || mac_errnum == to_mac_errno(EINVAL);
    if (mac_errnum != 0 && !known) {
        std::snprintf(scratch, sizeof scratch, "Unknown error: %d", mac_errnum);
        error = EINVAL;
    } else {
        text = ::strerror_r(linux_errnum, scratch, sizeof scratch);  // glibc's returns its text
    }
    const std::size_t length = std::strlen(text);
    if (size == 0) return to_mac_errno(ERANGE);
    const std::size_t copied = std::min(length, size - 1);
    std::memmove(buffer, text, copied);
    buffer[copied] = '\0';
    return to_mac_errno(copied < length ? ERANGE : error);
}

// ---- time ----

int mac_gettimeofday(MacTimeval* time, struct timezone* zone) {
    struct timeval now {};
    errno_to_linux();
    const int result = ::gettimeofday(&now, zone);
    errno_to_mac();
    if (result == 0 && time != nullptr) {
        time->tv_sec = now.tv_sec;
        time->tv_usec = static_cast<std::int32_t>(now.tv_usec);
    }
    return result;
}

// ---- dl* ----

// dladdr's file name must outlive the call: each image path, kept once.
const char* kept_path(const std::string& path) {
    static std::mutex lock;
    static std::set<std::string> paths;
    const std::lock_guard<std::mutex> hold(lock);
    return paths.insert(path).first->c_str();
}

// An address inside an image: its path and mach header; the nearest symbol
// is not looked up (null, as dladdr reports when it has none).
int mac_dladdr(const void* address, Dl_info* info) {
    ImageInfo image;
    if (!image_containing(reinterpret_cast<std::uintptr_t>(address), &image)) return ::dladdr(address, info);
    try {
        info->dli_fname = kept_path(image.path);
    } catch (const std::exception&) {
        return 0;
    }
    info->dli_fbase = reinterpret_cast<void*>(image.header);
    info->dli_sname = nullptr;
    info->dli_saddr = nullptr;
    return 1;
}

// A Mach-O file is loaded here, any other by glibc. macOS's default scope is
// global, glibc's local. An image's symbols are found only through its
// handle (RTLD_FIRST) and are bound at load (RTLD_LAZY, RTLD_NOW);
// RTLD_NODELETE holds it with one open never closed. A glibc library cannot
// be searched without its dependencies, so RTLD_FIRST fails there.
void* mac_dlopen(const char* path, int mode) {
    const int known = MACOS_RTLD_LAZY | MACOS_RTLD_NOW | MACOS_RTLD_LOCAL | MACOS_RTLD_GLOBAL |
                      MACOS_RTLD_NOLOAD | MACOS_RTLD_NODELETE | MACOS_RTLD_FIRST;
    if ((mode & ~known) != 0) return nullptr;
    if (path != nullptr && macos_is_mach_o(path)) {
        if ((mode & MACOS_RTLD_NOLOAD) != 0 && image_handle_for_path(path) == nullptr) return nullptr;
        void* const image = macos_dlopen(path);
        if (image != nullptr && (mode & MACOS_RTLD_NODELETE) != 0) (void)macos_dlopen(path);
        return image;
    }
    if ((mode & MACOS_RTLD_FIRST) != 0) return nullptr;
    const int linux_mode = ((mode & MACOS_RTLD_LAZY) != 0 ? RTLD_LAZY : 0) |
                           ((mode & MACOS_RTLD_NOW) != 0 ? RTLD_NOW : 0) |
                           ((mode & MACOS_RTLD_LOCAL) != 0 ? RTLD_LOCAL : RTLD_GLOBAL) |
                           ((mode & MACOS_RTLD_NOLOAD) != 0 ? RTLD_NOLOAD : 0) |
                           ((mode & MACOS_RTLD_NODELETE) != 0 ? RTLD_NODELETE : 0);
    errno_to_linux();
    void* const handle = ::dlopen(path, linux_mode);
    errno_to_mac();
    return handle;
}

// The image the caller's code is in, as a handle; null outside every image.
void* caller_image(const void* return_address) {
    ImageInfo image;
    if (!image_containing(reinterpret_cast<std::uintptr_t>(return_address), &image)) return nullptr;
    return image_handle_for_path(image.path);
}

// Names come without the leading underscore, as macOS's dlsym takes them.
// RTLD_DEFAULT searches the process, then the caller's image; RTLD_SELF
// the other way round; RTLD_NEXT the process (every library here was loaded
// by glibc, none of them is the image); RTLD_MAIN_ONLY fails.
__attribute__((noinline)) void* mac_dlsym(void* handle, const char* name) {
    const auto special = static_cast<long long>(reinterpret_cast<std::intptr_t>(handle));
    const void* const caller = __builtin_return_address(0);
    if (special == MACOS_RTLD_DEFAULT) {
        void* const found = ::dlsym(RTLD_DEFAULT, name);
        void* const image = found == nullptr ? caller_image(caller) : nullptr;
        return image != nullptr ? macos_dlsym(image, name) : found;
    }
    if (special == MACOS_RTLD_SELF) {
        void* const image = caller_image(caller);
        void* const own = image != nullptr ? macos_dlsym(image, name) : nullptr;
        return own != nullptr ? own : ::dlsym(RTLD_DEFAULT, name);
    }
    if (special == MACOS_RTLD_NEXT) return ::dlsym(RTLD_DEFAULT, name);
    if (special == MACOS_RTLD_MAIN_ONLY) return nullptr;
    if (is_image_handle(handle)) return macos_dlsym(handle, name);
    return ::dlsym(handle, name);
}

int mac_dlclose(void* handle) { return is_image_handle(handle) ? macos_dlclose(handle) : ::dlclose(handle); }

#define SHIM(name, function) {name, reinterpret_cast<const void*>(function)}

const Shim kShims[] = {
    SHIM("___error", &mac_errno_location),  // errno in macOS's numbers
    SHIM("__NSGetEnviron", &mac_NSGetEnviron),
    SHIM("_abort", &::abort),
    SHIM("_clock", &::clock),
    SHIM("_dladdr", &mac_dladdr),  // an image's address answered from the registry
    SHIM("_dlclose", &mac_dlclose),  // image handles or glibc's
    SHIM("_dlopen", &mac_dlopen),  // modes translated; a Mach-O file loaded here
    SHIM("_dlsym", &mac_dlsym),  // special handles translated
    SHIM("_getenv", &::getenv),
    SHIM("_geteuid", &::geteuid),
    SHIM("_getpid", &::getpid),
    SHIM("_getpwuid_r", &mac_getpwuid_r),  // struct passwd translated
    SHIM("_gettimeofday", &mac_gettimeofday),  // struct timeval translated
    SHIM("_getuid", &::getuid),
    SHIM("_localtime_r", &ErrnoSynced<&::localtime_r>::call),
    SHIM("_perror", &mac_perror),  // reads errno
    SHIM("_posix_spawn", &mac_posix_spawn),  // objects, flags and file actions translated
    SHIM("_posix_spawn_file_actions_addinherit_np", &mac_posix_spawn_file_actions_addinherit_np),
    SHIM("_posix_spawn_file_actions_destroy", &mac_posix_spawn_file_actions_destroy),
    SHIM("_posix_spawn_file_actions_init", &mac_posix_spawn_file_actions_init),
    SHIM("_posix_spawnattr_destroy", &mac_posix_spawnattr_destroy),
    SHIM("_posix_spawnattr_init", &mac_posix_spawnattr_init),
    SHIM("_posix_spawnattr_setflags", &mac_posix_spawnattr_setflags),
    SHIM("_posix_spawnattr_setsigdefault", &mac_posix_spawnattr_setsigdefault),  // sigset_t translated
    SHIM("_posix_spawnattr_setsigmask", &mac_posix_spawnattr_setsigmask),
    SHIM("_strerror_r", &mac_strerror_r),  // XSI form, macOS errno in and out
    SHIM("_sysconf", &mac_sysconf),  // names translated
    SHIM("_usleep", &ErrnoSynced<&::usleep>::call),
    SHIM("_waitpid", &mac_waitpid),  // options and status word translated
};

#undef SHIM

}  // namespace

ShimTable process_shims() { return {kShims, kShims + sizeof kShims / sizeof kShims[0]}; }

}  // namespace macos
