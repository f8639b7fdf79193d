// "Render to Orvella": export the garment into the textures directory and
// hand the file to the hand-off worker.
#pragma once

#include <string>

#include "host/sv_plugin_api.h"

namespace orvella {

// Host thread, from the menu (kRenderToOrvella). Names the garment, picks the
// textures directory (asking whether to fall back to the default one when
// the stored one is unusable), exports the garment under export_options to
// DIR/NAME.fbx, or to a free "NAME 2.fbx" ... when that file exists (see
// ExportFile: no file the plug-in did not create is overwritten or deleted),
// and on success registers import_error_handler and starts the hand-off of
// the file.
// Returns SVAPI_CALLBACK_DONE when exported and handed off;
// SVAPI_CALLBACK_FAILED when the user cancelled at the
// directory prompt (nothing exported) or the command could not run (nothing
// left behind; when no hand-off thread can be made, the exported file is
// deleted and "Import failed with error: UNKNOWN" shown; when every file
// name is taken, nothing is exported and "Export failed with error: UNKNOWN"
// shown); otherwise the export's error code, after a notice box with
// export_error_text. An exception gives SVAPI_CALLBACK_FAILED.
int render_to_orvella(SvApiGarmentId garment) noexcept;

// The name of the garment rendered last, as the host gave it ("" before the
// first render). Host thread.
std::string& current_garment_name();

}  // namespace orvella
