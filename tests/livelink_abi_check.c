/* A live-link library written in C whose two virtual-function tables are
 * built by hand as arrays of function pointers: OrvellaLive's query_api at
 * entry 3, QueryApi's attach_process at entry 1 and scene_xml at entry 6.
 * Every other entry aborts, naming itself, so a table position that the
 * plug-in gets wrong fails the test. The scene holds one model, "abi-check",
 * once a positive process id has been attached; abi_check_attached_pid tells
 * the test which one. */
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

typedef void (*entry)(void);

struct object {
    const entry* table; /* what a C++ object's first word points at */
};

static int64_t attached_pid = -1;

#define WRONG_ENTRY(table_name, index)                                              \
    static void table_name##_wrong_##index(void) {                                \
        fprintf(stderr, "livelink_abi_check: " #table_name " entry " #index        \
                        " must not be called\n");                                  \
        abort();                                                                   \
    }
WRONG_ENTRY(query, 0)
WRONG_ENTRY(query, 2)
WRONG_ENTRY(query, 3)
WRONG_ENTRY(query, 4)
WRONG_ENTRY(query, 5)
WRONG_ENTRY(live, 0)
WRONG_ENTRY(live, 1)
WRONG_ENTRY(live, 2)

static bool attach_process(struct object* self, int64_t pid) {
    (void)self;
    attached_pid = pid;
    return pid > 0;
}

static const char* scene_xml(struct object* self) {
    (void)self;
    if (attached_pid <= 0) return NULL;
    return "<scene><set modelset=\"active\"><model name=\"abi-check\"/></set></scene>";
}

static const entry query_table[7] = {
    query_wrong_0, (entry)attach_process, query_wrong_2, query_wrong_3,
    query_wrong_4, query_wrong_5,         (entry)scene_xml,
};
static struct object query = {query_table};

static struct object* query_api(struct object* self) {
    (void)self;
    return &query;
}

static const entry live_table[4] = {live_wrong_0, live_wrong_1, live_wrong_2, (entry)query_api};
static struct object live = {live_table};

__attribute__((visibility("default"))) struct object* orvella_live_initialize(void) {
    return &live;
}

__attribute__((visibility("default"))) int64_t abi_check_attached_pid(void) {
    return attached_pid;
}
