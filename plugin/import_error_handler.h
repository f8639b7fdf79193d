// The object the host calls, on its own thread, with a hand-off worker's
// session request: it shows the request's text to the user.
#pragma once

#include <stdint.h>

#include "host/sv_plugin_api.h"

namespace orvella {

class GarventoImportErrorHandler : public SvApiCallbackBase {
public:
    constexpr GarventoImportErrorHandler() = default;
    ~GarventoImportErrorHandler() override {}

    // Host thread. Shows `data` in a notice box, ignores its answer and
    // returns SVAPI_CALLBACK_FAILED; the garment id and callback id are not
    // read.
    int OnCallback(SvApiGarmentId garment, intptr_t callback_id,
                   const char* data) noexcept override;
};

// The one handler, alive as long as the library; the render command
// registers it before each hand-off starts.
extern GarventoImportErrorHandler import_error_handler;

}  // namespace orvella
