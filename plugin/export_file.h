// The file a render exports into, and who may delete it.
//
// The textures directory is the user's: it may hold a file of the name an
// export would take, left there by the user or by an earlier render whose
// hand-off still runs. The plug-in never overwrites or deletes such a file. A
// render reserves a name nobody holds by creating the file itself, empty and
// exclusively, and the host's export then writes over that file of ours.
#pragma once

#include <string>
#include <utility>

#include "support/file_owner.h"

namespace orvella {

// The export's file name for a garment name, without ".fbx": the name with
// every "/" made "_", so the file stays inside the textures directory
// whatever the name holds ("Skirt 1/2" -> "Skirt 1_2", "../x" -> ".._x").
std::string export_file_stem(const std::string& garment_name);

// The export's path: `directory`, "/" unless it already ends in one (so ""
// gives "/"), the file stem and ".fbx".
std::string export_path(const std::string& directory, const std::string& garment_name);

// One render's export file, from its reservation to the hand-off. While it
// is ours, letting it go deletes it, whichever way the render ends.
class ExportFile {
public:
    // Reserves export_path(directory, garment_name) or, when that name is
    // taken, the first free one of "STEM 2.fbx" to "STEM 1000.fbx" in the
    // same directory. When the directory does not let us create a file at
    // all and nothing exists at the plain path, that path is used
    // unreserved and the export's own result tells what happened. path() is
    // empty when every name is taken, or when a name could not be reserved
    // and may be held (the exclusive create failed before it looked, as
    // with EMFILE, and the name could not be checked free): the export
    // then writes nowhere.
    static ExportFile reserve(const std::string& directory, const std::string& garment_name);

    const std::string& path() const { return file_.path(); }

    // The export wrote the file: ours to delete from now on, reserved or not
    // (an unreserved name was free when we tried it).
    void exported() noexcept { file_.own(); }

    // The hand-off has taken the file over and deletes it when done.
    void release() noexcept { file_.keep(); }

private:
    ExportFile(std::string path, bool ours) : file_(std::move(path), ours) {}

    FileOwner file_;
};

}  // namespace orvella
