#include "plugin/import_error_handler.h"

namespace orvella {

GarventoImportErrorHandler import_error_handler;

int GarventoImportErrorHandler::OnCallback(SvApiGarmentId, intptr_t, const char* data) {
    int answer = 0;
    SvApiWndMessageBox(data ? data : "", 0, &answer);
    return 1;
}

}  // namespace orvella
