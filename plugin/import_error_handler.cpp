#include "plugin/import_error_handler.h"

#include "host/host_entry.h"
#include "host/message_box.h"

namespace orvella {

GarventoImportErrorHandler import_error_handler;

int GarventoImportErrorHandler::OnCallback(SvApiGarmentId, intptr_t, const char* data) noexcept {
    host_entry([data] { show_notice(data ? data : ""); });
    // The request always reports a failed hand-off.
    return SVAPI_CALLBACK_FAILED;
}

}  // namespace orvella
