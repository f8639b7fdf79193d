#include "plugin/hand_off_worker.h"

#include <cstdio>

#include "host/host_entry.h"
#include "host/sv_plugin_api.h"
#include "plugin/import_error.h"

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

void hand_off_worker(std::string garment_name, std::string path,
                     std::string identifier) noexcept {
    ImportRequest request{std::move(garment_name), std::move(path)};
    const bool finished = host_entry(false, [&request] {
        import_into_orvella(request);
        return true;
    });
    // Out of memory in the middle of the hand-off: the import is not
    // confirmed, and the user is told so rather than left waiting.
    if (!finished && request.status == kImportConfirmed) request.status = kImportUnknown;
    std::remove(request.path.c_str());
    if (request.status == kImportConfirmed) return;
    // Without memory nothing more can be done for the user.
    host_entry([&] { report(request, identifier); });
}

}  // namespace orvella
