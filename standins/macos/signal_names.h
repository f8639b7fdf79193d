/* The signal names macOS and Linux share, as an X-macro list: the probe reads
 * each one's macOS number, the translation pairs it with glibc's. macOS's
 * SIGEMT and SIGINFO have no Linux signal; Linux's SIGSTKFLT, SIGPWR and
 * real-time signals have no macOS number. */
#define SIGNAL_NAMES(X)                                                       \
    X(SIGHUP) X(SIGINT) X(SIGQUIT) X(SIGILL) X(SIGTRAP) X(SIGABRT) X(SIGBUS)  \
    X(SIGFPE) X(SIGKILL) X(SIGUSR1) X(SIGSEGV) X(SIGUSR2) X(SIGPIPE)          \
    X(SIGALRM) X(SIGTERM) X(SIGCHLD) X(SIGCONT) X(SIGSTOP) X(SIGTSTP)         \
    X(SIGTTIN) X(SIGTTOU) X(SIGURG) X(SIGXCPU) X(SIGXFSZ) X(SIGVTALRM)        \
    X(SIGPROF) X(SIGWINCH) X(SIGIO) X(SIGSYS)
