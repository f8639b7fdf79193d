// The host's plug-in library, libSvPluginAPI, as the plug-in sees it.
//
// Plain C functions; texts are 8-bit NUL-terminated strings and the host
// copies whatever it is given, so the caller may free its texts as soon as a
// call returns. Unless a function says otherwise it is called on the host's
// thread, and its int result is the host's status (0 = success), which the
// plug-in ignores except where noted.
#pragma once

#include <stdint.h>

#if defined(__GNUC__)
#define SVAPI_EXPORT __attribute__((visibility("default")))
#else
#define SVAPI_EXPORT
#endif

typedef struct SvApiStringData* SvApiString;  // opaque, pointer-sized
typedef void* SvApiGarmentId;                 // opaque, pointer-sized, handed back unchanged
typedef uint64_t SvApiWindowHandle;           // opaque, 64 bits

#ifdef __cplusplus
// Base of every object the host calls back. Virtual slots, in order: the
// destructor, the deleting destructor and OnCallback. The host never deletes
// a callback object; the plug-in's live as long as the library.
class SvApiCallbackBase {
public:
    virtual ~SvApiCallbackBase() {}
    // Called on the host's thread with the garment id the host acts on (or
    // none), the callback id the plug-in chose when registering, and the
    // event's text (may be empty, never null).
    virtual int OnCallback(SvApiGarmentId garment, intptr_t callback_id, const char* data) = 0;
};
#else
typedef struct SvApiCallbackBase SvApiCallbackBase;
#endif

#ifdef __cplusplus
extern "C" {
#endif

// --- strings: a getter fills a handle; its text lives until release.
SVAPI_EXPORT SvApiString SvApiStringCreate(void);
SVAPI_EXPORT const char* SvApiStringGet(SvApiString s);  // "" for an unfilled handle
SVAPI_EXPORT void SvApiStringRelease(SvApiString s);

// --- queries
// The host's name and version ("... version 8.0.1 ...") into `out`.
SVAPI_EXPORT int SvApiHostApplicationGet(SvApiString out);
// The name of the garment `garment` into `out`.
SVAPI_EXPORT int SvApiGarmentNameGet(SvApiGarmentId garment, SvApiString out);

// --- identification and menu, during SvApiPluginInit
SVAPI_EXPORT int SvApiIdentifierSet(const char* identifier);
SVAPI_EXPORT int SvApiPluginNameSet(const char* name);
// A plug-in menu entry; picking it calls callback->OnCallback(garment, callback_id, "").
SVAPI_EXPORT int SvApiMenuFunctionAdd(const char* label, SvApiCallbackBase* callback,
                                      intptr_t callback_id);
SVAPI_EXPORT int SvApiMenuFunctionReloadAdd(void);

// --- export: writes the garment as the option text (JSON) says.
// 0 = file written; any other value is an error code.
SVAPI_EXPORT int SvApiRenderExport3DObject(SvApiGarmentId garment, const char* options_json);

// --- session requests across threads
// The object that later requests are delivered to.
SVAPI_EXPORT int SvApiUpdateSessionFunctionSet_v2(SvApiCallbackBase* callback);
// May be called from any thread. The host queues the request and later, on
// its own thread, calls the registered object's OnCallback(nullptr,
// callback_id, data) with its own copy of `data`.
SVAPI_EXPORT int SvApiUpdateSessionFunctionRequest_v2(const char* identifier, intptr_t callback_id,
                                                      const char* data);

// --- windows
// Modal. kind 0: notice; kind 1: confirm or cancel. *answer receives the
// button: 2 means cancelled.
SVAPI_EXPORT int SvApiWndMessageBox(const char* text, int kind, int* answer);
// Opens an HTML window showing `page`; *window receives its handle.
SVAPI_EXPORT int SvApiWndHTMLCreateUrl(const char* page, const char* title, const char* options,
                                       int x, int y, int width, int height,
                                       SvApiWindowHandle* window);
// Events of `kind` from `window` reach callback->OnCallback(nullptr,
// callback_id, text): kind 4 when the page is ready for messages, kind 2
// when the page sends a reply (its text).
SVAPI_EXPORT int SvApiWndHTMLEventRegister(SvApiWindowHandle window, int kind,
                                           SvApiCallbackBase* callback, intptr_t callback_id);
// Delivers `text` to the page.
SVAPI_EXPORT int SvApiWndHTMLMessageSend(SvApiWindowHandle window, const char* text);
SVAPI_EXPORT int SvApiWndHTMLClose(SvApiWindowHandle window);

#ifdef __cplusplus
}
#endif
