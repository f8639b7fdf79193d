#include <errno.h>

#include "errno_names.h"
#include "probe.h"

void probe_errno(void) {
#define PROBE(name) ABI_VALUE(#name, name);  /* named before the value expands */
    ERRNO_NAMES(PROBE)
#undef PROBE
}
