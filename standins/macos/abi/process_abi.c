#include <dlfcn.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "probe.h"
#include "signal_names.h"
#include "sysconf_names.h"

void probe_process(void) {
    /* posix_spawn: flags, and the objects the calls take (pointers here) */
    ABI_CONST(POSIX_SPAWN_RESETIDS); ABI_CONST(POSIX_SPAWN_SETPGROUP);
    ABI_CONST(POSIX_SPAWN_SETSIGDEF); ABI_CONST(POSIX_SPAWN_SETSIGMASK);
    ABI_CONST(POSIX_SPAWN_SETSID); ABI_CONST(POSIX_SPAWN_CLOEXEC_DEFAULT);
    ABI_SIZE(POSIX_SPAWNATTR, posix_spawnattr_t);
    ABI_SIZE(POSIX_SPAWN_FILE_ACTIONS, posix_spawn_file_actions_t);
    ABI_SIZE(SIGSET, sigset_t);
    ABI_SIZE(PID_T, pid_t);
    ABI_CONST(NSIG);
#define SIGNAL(name) ABI_VALUE(#name, name);  /* named before the value expands */
    SIGNAL_NAMES(SIGNAL)
#undef SIGNAL

    /* waitpid: options and the status word */
    ABI_CONST(WNOHANG); ABI_CONST(WUNTRACED); ABI_CONST(WCONTINUED);
    ABI_CONST(_WSTOPPED); ABI_CONST(WCOREFLAG);
    ABI_VALUE("EXIT_STATUS_UNIT", W_EXITCODE(1, 0));
    ABI_VALUE("TERM_SIGNAL_UNIT", W_EXITCODE(0, 1));
    ABI_VALUE("STOP_SIGNAL_UNIT", W_STOPCODE(1) - W_STOPCODE(0));

    /* sysconf names */
#define SYSCONF(name) ABI_VALUE(#name, name);
    SYSCONF_NAMES(SYSCONF)
#undef SYSCONF

    /* dlopen modes, dlsym's special handles, Dl_info */
    ABI_CONST(RTLD_LAZY); ABI_CONST(RTLD_NOW); ABI_CONST(RTLD_LOCAL); ABI_CONST(RTLD_GLOBAL);
    ABI_CONST(RTLD_NOLOAD); ABI_CONST(RTLD_NODELETE); ABI_CONST(RTLD_FIRST);
    ABI_CONST(RTLD_NEXT); ABI_CONST(RTLD_DEFAULT); ABI_CONST(RTLD_SELF); ABI_CONST(RTLD_MAIN_ONLY);
    ABI_SIZE(DL_INFO, Dl_info);
    ABI_MEMBER(DL_INFO, Dl_info, dli_fname);
    ABI_MEMBER(DL_INFO, Dl_info, dli_fbase);
    ABI_MEMBER(DL_INFO, Dl_info, dli_sname);
    ABI_MEMBER(DL_INFO, Dl_info, dli_saddr);

    /* struct passwd */
    ABI_SIZE(PASSWD, struct passwd);
    ABI_MEMBER(PASSWD, struct passwd, pw_name);
    ABI_MEMBER(PASSWD, struct passwd, pw_passwd);
    ABI_MEMBER(PASSWD, struct passwd, pw_uid);
    ABI_MEMBER(PASSWD, struct passwd, pw_gid);
    ABI_MEMBER(PASSWD, struct passwd, pw_change);
    ABI_MEMBER(PASSWD, struct passwd, pw_class);
    ABI_MEMBER(PASSWD, struct passwd, pw_gecos);
    ABI_MEMBER(PASSWD, struct passwd, pw_dir);
    ABI_MEMBER(PASSWD, struct passwd, pw_shell);
    ABI_MEMBER(PASSWD, struct passwd, pw_expire);

    /* time */
    ABI_SIZE(TM, struct tm);
    ABI_MEMBER(TM, struct tm, tm_sec);
    ABI_MEMBER(TM, struct tm, tm_min);
    ABI_MEMBER(TM, struct tm, tm_hour);
    ABI_MEMBER(TM, struct tm, tm_mday);
    ABI_MEMBER(TM, struct tm, tm_mon);
    ABI_MEMBER(TM, struct tm, tm_year);
    ABI_MEMBER(TM, struct tm, tm_wday);
    ABI_MEMBER(TM, struct tm, tm_yday);
    ABI_MEMBER(TM, struct tm, tm_isdst);
    ABI_MEMBER(TM, struct tm, tm_gmtoff);
    ABI_MEMBER(TM, struct tm, tm_zone);
    ABI_SIZE(TIMEVAL, struct timeval);
    ABI_MEMBER(TIMEVAL, struct timeval, tv_sec);
    ABI_MEMBER(TIMEVAL, struct timeval, tv_usec);
    ABI_SIZE(TIMEZONE, struct timezone);
    ABI_MEMBER(TIMEZONE, struct timezone, tz_minuteswest);
    ABI_MEMBER(TIMEZONE, struct timezone, tz_dsttime);
    ABI_SIZE(TIME_T, time_t); ABI_SIZE(CLOCK_T, clock_t); ABI_SIZE(USECONDS_T, useconds_t);
    ABI_CONST(CLOCKS_PER_SEC);
    ABI_SIZE(UID_T, uid_t);
}
