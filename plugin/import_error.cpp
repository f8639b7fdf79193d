#include "plugin/import_error.h"

namespace orvella {

const char* import_error_word(int status) {
    switch (status) {
        case kInstallationNotFound: return "ORVELLA INSTALLATION NOT FOUND";
        case kProcessNotCreated: return "CREATE ORVELLA PROCESS FAILED";
        case kImportNotConfirmed: return "ORVELLA IMPORT FAILED";
        default: return "UNKNOWN";
    }
}

std::string import_error_text(const ImportRequest& request) {
    return std::string("Import failed with error: ") + import_error_word(request.status);
}

}  // namespace orvella
