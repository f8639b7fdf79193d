// What tests of a loaded image may ask of the stand-in beyond macos_loader.h:
// faults a test injects into the system library the image sees.
#ifndef ORVELLA_STANDINS_MACOS_MACOS_LOADER_FOR_TESTING_H
#define ORVELLA_STANDINS_MACOS_MACOS_LOADER_FOR_TESTING_H

#ifdef __cplusplus
extern "C" {
#endif

// The Nth allocation an image makes from now (malloc, calloc, realloc or
// aligned_alloc, by any thread) fails once: it returns null with ENOMEM, as
// when memory runs out. The process's own allocations are not counted. 0
// cancels a failure still to come; a second call replaces the first.
__attribute__((visibility("default"))) void macos_fail_allocation_after(unsigned n);

#ifdef __cplusplus
}
#endif

#endif
