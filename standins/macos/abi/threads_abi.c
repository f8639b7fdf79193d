/* The layouts and values of the thread, memory and string imports. */
#include <limits.h>
#include <mach/i386/vm_param.h>
#include <mach/port.h>
#include <pthread.h>
#include <stddef.h>
#include <wchar.h>

#include "probe.h"

/* Whether any of the first 8*N bytes of the array A is not zero. */
#define ANY8(a, i) (a[i] | a[i + 1] | a[i + 2] | a[i + 3] | a[i + 4] | a[i + 5] | a[i + 6] | a[i + 7])
#define ANY_BYTE_8(a) (ANY8(a, 0) != 0)
#define ANY_BYTE_40(a) ((ANY8(a, 0) | ANY8(a, 8) | ANY8(a, 16) | ANY8(a, 24) | ANY8(a, 32)) != 0)
#define ANY_BYTE_56(a) ((ANY8(a, 0) | ANY8(a, 8) | ANY8(a, 16) | ANY8(a, 24) | ANY8(a, 32) | \
                         ANY8(a, 40) | ANY8(a, 48)) != 0)

#define MUTEX_INIT ((pthread_mutex_t)PTHREAD_MUTEX_INITIALIZER)
#define COND_INIT ((pthread_cond_t)PTHREAD_COND_INITIALIZER)
#define ONCE_INIT ((pthread_once_t)PTHREAD_ONCE_INIT)

/* The ANY_BYTE_N probes below cover the whole opaque part. */
_Static_assert(sizeof MUTEX_INIT.__opaque == 56, "mutex opaque bytes");
_Static_assert(sizeof COND_INIT.__opaque == 40, "cond opaque bytes");
_Static_assert(sizeof ONCE_INIT.__opaque == 8, "once opaque bytes");

void probe_threads(void) {
    ABI_SIZE(PTHREAD_MUTEX, pthread_mutex_t);
    ABI_MEMBER(PTHREAD_MUTEX, pthread_mutex_t, __sig);
    ABI_MEMBER(PTHREAD_MUTEX, pthread_mutex_t, __opaque);
    ABI_SIZE(PTHREAD_COND, pthread_cond_t);
    ABI_MEMBER(PTHREAD_COND, pthread_cond_t, __sig);
    ABI_MEMBER(PTHREAD_COND, pthread_cond_t, __opaque);
    ABI_SIZE(PTHREAD_ONCE, pthread_once_t);
    ABI_MEMBER(PTHREAD_ONCE, pthread_once_t, __sig);
    ABI_MEMBER(PTHREAD_ONCE, pthread_once_t, __opaque);
    ABI_SIZE(PTHREAD_ATTR, pthread_attr_t);
    ABI_MEMBER(PTHREAD_ATTR, pthread_attr_t, __sig);
    ABI_MEMBER(PTHREAD_ATTR, pthread_attr_t, __opaque);
    ABI_SIZE(PTHREAD_KEY, pthread_key_t);
    ABI_SIZE(PTHREAD, pthread_t);
    ABI_SIZE(MACH_PORT, mach_port_t);
    ABI_CONST(MACH_PORT_NULL);

    /* What the static initializers leave in the objects. */
    ABI_VALUE("MUTEX_INITIALIZER_SIG", MUTEX_INIT.__sig);
    ABI_VALUE("MUTEX_INITIALIZER_OPAQUE_NONZERO", ANY_BYTE_56(MUTEX_INIT.__opaque));
    ABI_VALUE("COND_INITIALIZER_SIG", COND_INIT.__sig);
    ABI_VALUE("COND_INITIALIZER_OPAQUE_NONZERO", ANY_BYTE_40(COND_INIT.__opaque));
    ABI_VALUE("ONCE_INIT_SIG", ONCE_INIT.__sig);
    ABI_VALUE("ONCE_INIT_OPAQUE_NONZERO", ANY_BYTE_8(ONCE_INIT.__opaque));

    ABI_CONST(PTHREAD_CREATE_JOINABLE);
    ABI_CONST(PTHREAD_CREATE_DETACHED);
    ABI_CONST(PTHREAD_STACK_MIN);
    ABI_CONST(I386_PGBYTES); /* the page size, which a stack size is a multiple of */

    ABI_VALUE("ALIGNOF_MAX_ALIGN", _Alignof(max_align_t)); /* what malloc guarantees */
    ABI_SIZE(WCHAR, wchar_t);
    ABI_SIZE(SIZE, size_t);
}
