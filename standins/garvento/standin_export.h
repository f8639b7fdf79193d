// The stand-in export service behind SvApiRenderExport3DObject.
#pragma once

#include <string>

namespace standin {

struct ExportOutcome {
    int result = 0;     // the host's code: 0 written, -3 bad option text, -2 not writable
    std::string note;   // for the call log: "wrote PATH" or why not
    std::string file;   // the file written, "" when none
};

// Checks the option text as the host reads it (a JSON object with a boolean
// "include_avatar", an object "layout" and a text "path") and writes the
// garment's file at "path": a small ASCII FBX with one model named `name`.
ExportOutcome write_export(const std::string& name, const std::string& options_json);

}  // namespace standin
