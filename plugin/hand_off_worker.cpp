#include "plugin/hand_off_worker.h"

#include <cstdio>

#include "plugin/import_error.h"
#include "plugin/sv_plugin_api.h"

namespace orvella {

namespace {

const intptr_t kImportErrorCallback = 1;

void report(const ImportRequest& request, const std::string& identifier) {
    const std::string message = import_error_text(request);
    // The host keeps its own copy of the text.
    SvApiUpdateSessionFunctionRequest_v2(identifier.c_str(), kImportErrorCallback,
                                         message.c_str());
}

}  // namespace

void hand_off_worker(std::string garment_name, std::string path, std::string identifier) {
    ImportRequest request{std::move(garment_name), std::move(path)};
    try {
        import_into_orvella(request);
    } catch (...) {
        // Out of memory in the middle of the hand-off: the import is not
        // confirmed, and the user is told so rather than left waiting.
        if (request.status == kImportConfirmed) request.status = -1;
    }
    std::remove(request.path.c_str());
    if (request.status == kImportConfirmed) return;
    try {
        report(request, identifier);
    } catch (...) {
        // Nothing more can be done for the user without memory.
    }
}

}  // namespace orvella
