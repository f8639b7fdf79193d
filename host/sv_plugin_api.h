// The host's plug-in library, libSvPluginAPI, as the plug-in sees it.
//
// Plain C functions; texts are 8-bit NUL-terminated strings and the host
// copies whatever it is given, so the caller may free its texts as soon as a
// call returns. Unless a function says otherwise it is called on the host's
// thread, and its int result is the host's status (SVAPI_OK on success),
// which the plug-in ignores except where noted.
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

// The host's status: success; a host error code is any other value.
enum { SVAPI_OK = 0 };

// SvApiPluginInit's result.
enum {
    SVAPI_PLUGIN_REFUSED = 0,    // nothing registered; the host unloads the plug-in
    SVAPI_PLUGIN_REGISTERED = 1  // identifier, name and menu entries registered
};

// An OnCallback result: the event was handled, or it was not (the plug-in's
// own failure codes, such as an export's error code, may stand in its place).
enum { SVAPI_CALLBACK_DONE = 0, SVAPI_CALLBACK_FAILED = 1 };

// SvApiWndMessageBox's kinds, and its answers.
enum {
    SVAPI_BOX_NOTICE = 0,  // one button; the answer means nothing
    SVAPI_BOX_CONFIRM = 1  // confirm or cancel
};
enum {
    SVAPI_ANSWER_OK = 1,        // confirmed (a notice's button answers it too)
    SVAPI_ANSWER_CANCELLED = 2  // cancelled
};

// Events of an HTML window, for SvApiWndHTMLEventRegister.
enum {
    SVAPI_EVENT_PAGE_REPLY = 2,  // the page sent a reply; its text is the event's
    SVAPI_EVENT_PAGE_READY = 4   // the page can take messages; no text
};

#ifdef __cplusplus
// Base of every object the host calls back. Virtual slots, in order: the
// destructor, the deleting destructor and OnCallback. The host never deletes
// a callback object; the plug-in's live as long as the library.
class SvApiCallbackBase {
public:
    virtual ~SvApiCallbackBase() {}
    // Called on the host's thread with the garment id the host acts on (or
    // none), the callback id the plug-in chose when registering, and the
    // event's text (may be empty, never null). Returns SVAPI_CALLBACK_DONE or
    // a failure code, which the host does not act on. No exception may leave
    // it: there is no C++ caller to catch one.
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

// --- identification and menu: called by the plug-in during SvApiPluginInit
// The plug-in's identifier, under which its session requests are accepted
// (SvApiUpdateSessionFunctionRequest_v2); a request naming another one is
// refused.
SVAPI_EXPORT int SvApiIdentifierSet(const char* identifier);
// The name the host shows for the plug-in, above its menu entries.
SVAPI_EXPORT int SvApiPluginNameSet(const char* name);
// A plug-in menu entry; picking it calls callback->OnCallback(garment, callback_id, "").
SVAPI_EXPORT int SvApiMenuFunctionAdd(const char* label, SvApiCallbackBase* callback,
                                      intptr_t callback_id);
// Adds the host's own "reload plug-ins" entry to the plug-in's menu, which
// unloads the plug-in libraries and loads them again; the plug-in gets no
// callback for it.
SVAPI_EXPORT int SvApiMenuFunctionReloadAdd(void);

// --- export: writes the garment as the option text (JSON) says. Host
// thread, from a menu callback. SVAPI_OK = file written; any other value is
// an error code, which the plug-in reports.
SVAPI_EXPORT int SvApiRenderExport3DObject(SvApiGarmentId garment, const char* options_json);

// --- session requests across threads
// Host thread. The object that later requests are delivered to; a later
// call replaces it.
SVAPI_EXPORT int SvApiUpdateSessionFunctionSet_v2(SvApiCallbackBase* callback);
// May be called from any thread. The host queues the request and later, on
// its own thread, calls the registered object's OnCallback(nullptr,
// callback_id, data) with its own copy of `data`.
SVAPI_EXPORT int SvApiUpdateSessionFunctionRequest_v2(const char* identifier, intptr_t callback_id,
                                                      const char* data);

// --- windows
// Modal, host thread. kind SVAPI_BOX_NOTICE or SVAPI_BOX_CONFIRM; *answer
// receives the button, SVAPI_ANSWER_CANCELLED when the user cancelled.
SVAPI_EXPORT int SvApiWndMessageBox(const char* text, int kind, int* answer);
// Host thread. Opens an HTML window showing `page`; *window receives its handle.
SVAPI_EXPORT int SvApiWndHTMLCreateUrl(const char* page, const char* title, const char* options,
                                       int x, int y, int width, int height,
                                       SvApiWindowHandle* window);
// Host thread. Events of `kind` (SVAPI_EVENT_PAGE_READY,
// SVAPI_EVENT_PAGE_REPLY) from `window` reach, on the host's thread,
// callback->OnCallback(nullptr, callback_id, text); a later registration for
// the same kind replaces the earlier one.
SVAPI_EXPORT int SvApiWndHTMLEventRegister(SvApiWindowHandle window, int kind,
                                           SvApiCallbackBase* callback, intptr_t callback_id);
// Host thread. Delivers `text` to the page.
SVAPI_EXPORT int SvApiWndHTMLMessageSend(SvApiWindowHandle window, const char* text);
// Host thread. Closes the window; it raises no further events. A window
// already closed gives a host error code.
SVAPI_EXPORT int SvApiWndHTMLClose(SvApiWindowHandle window);

#ifdef __cplusplus
}
#endif
