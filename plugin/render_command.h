// "Render to Orvella": export the garment into the textures directory and
// hand the file to the hand-off worker.
#pragma once

#include <string>

#include "plugin/sv_plugin_api.h"

namespace orvella {

// Host thread, from the menu (callback id 0). Names the garment, picks the
// textures directory (asking whether to fall back to the default one when
// the stored one is unusable), exports the garment to DIR/NAME.fbx under
// export_options, and on success registers import_error_handler and starts
// the hand-off of the file.
// Returns 0 when exported and handed off; 1 when the user cancelled at the
// directory prompt (nothing exported) or the command could not run (nothing
// left behind; when no hand-off thread can be made, the exported file is
// deleted and "Import failed with error: UNKNOWN" shown); otherwise the export's error code, after a notice box with
// export_error_text. No exception leaves it.
int render_to_orvella(SvApiGarmentId garment);

// The name of the garment rendered last, as the host gave it ("" before the
// first render). Host thread.
std::string& current_garment_name();

// The export's file name for a garment name, without ".fbx": the name with
// every "/" made "_", so the file stays inside the textures directory
// whatever the name holds ("Skirt 1/2" -> "Skirt 1_2", "../x" -> ".._x").
std::string export_file_stem(const std::string& garment_name);

// The export's path: `directory`, "/" unless it already ends in one (so ""
// gives "/"), the file stem and ".fbx".
std::string export_path(const std::string& directory, const std::string& garment_name);

}  // namespace orvella
