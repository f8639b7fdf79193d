// The stand-in for the Mac's loader and system library: loads an x86-64
// Mach-O dylib into this Linux process so that its own machine code runs,
// as dlopen loads a shared library. The image's libSystem imports are bound
// to shims that forward to glibc where the two ABIs agree and translate
// where they differ; every other import is bound to the process's own
// symbol of the same name without the leading underscore, so whatever host
// library the process loaded stands behind the dylib, as on a Mac.
//
// A file that is not Mach-O is not loaded here: the caller loads it with
// dlopen (the image's own dlopen does so for the files it opens).
#ifndef ORVELLA_STANDINS_MACOS_MACOS_LOADER_H
#define ORVELLA_STANDINS_MACOS_MACOS_LOADER_H

#ifdef __cplusplus
extern "C" {
#endif

// Maps the image at PATH, binds its imports, runs its initializers. Returns
// its handle, or null with the reason in macos_dlerror(). Opening a path
// that is already loaded returns the same handle and counts one more open.
__attribute__((visibility("default"))) void* macos_dlopen(const char* path);

// The address of the exported symbol NAME, given as C names it (without the
// leading underscore: "SvApiPluginInit"), or null with the reason.
__attribute__((visibility("default"))) void* macos_dlsym(void* image, const char* name);

// Counts one open less; the last runs the image's exit handlers and unmaps
// it. 0 on success, -1 with the reason for a handle that is not open.
__attribute__((visibility("default"))) int macos_dlclose(void* image);

// The reason of this thread's last failure, then null until the next one.
__attribute__((visibility("default"))) const char* macos_dlerror(void);

// Whether the file at PATH starts as a Mach-O file does (any architecture):
// a host decides with it whether to load a plug-in here or with dlopen.
__attribute__((visibility("default"))) int macos_is_mach_o(const char* path);

#ifdef __cplusplus
}
#endif

#endif
