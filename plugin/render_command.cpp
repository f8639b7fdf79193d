#include "plugin/render_command.h"

#include <cstdio>
#include <system_error>
#include <utility>

#include "plugin/export_error.h"
#include "plugin/export_options.h"
#include "plugin/hand_off_worker.h"
#include "plugin/host_string.h"
#include "plugin/import_error.h"
#include "plugin/import_error_handler.h"
#include "plugin/library_pin.h"
#include "plugin/thread_starter.h"
#include "settings/plugin_settings.h"

namespace orvella {

namespace {

const int kNoticeBox = 0;
const int kConfirmBox = 1;
const int kCancelled = 2;
const int kNotRendered = 1;
// Not a status the import writes, so the user reads "UNKNOWN".
const int kImportFailedToStart = -1;

// The user decides whether an unusable directory gives way to the default.
// Returns false when the user cancelled.
bool choose_directory(std::string& directory, const std::string& default_directory) {
    if (PluginSettings::is_existing_directory(directory)) return true;
    // The default is kept even while it does not exist yet: the export's
    // own result tells what happened.
    if (directory == default_directory) return true;
    const std::string question = "The path " + directory + " is invalid so the path " +
                                 default_directory + " will be used instead";
    int answer = 0;
    SvApiWndMessageBox(question.c_str(), kConfirmBox, &answer);
    if (answer == kCancelled) return false;
    directory = default_directory;
    return true;
}

// The exported file from now on belongs to the hand-off worker, which
// carries it to the renderer and deletes it. Returns the command's result.
int hand_off(const std::string& garment_name, const std::string& path,
             const std::string& identifier) {
    try {
        // The worker runs this library's code until it ends, whatever the
        // host unloads in the meantime. Without a pin the hand-off still
        // goes ahead, as it always has.
        pin_plugin_library();
        // Copies made here, on the host's thread: the worker outlives this
        // command and the next render's current_garment_name, and may outlive
        // the settings record when the host quits.
        start_detached_thread([name = garment_name, file = path, id = identifier]() mutable {
            hand_off_worker(std::move(name), std::move(file), std::move(id));
        });
        return 0;
    } catch (const std::system_error&) {
        // No thread, so no worker will delete the file or report: do both
        // here, and let the host go on.
        std::remove(path.c_str());
        ImportRequest unknown{garment_name, path, kImportFailedToStart};
        const std::string message = import_error_text(unknown);
        int answer = 0;
        SvApiWndMessageBox(message.c_str(), kNoticeBox, &answer);
        return kNotRendered;
    }
}

int render(SvApiGarmentId garment, std::string& exported_path) {
    // Released when the command ends, whichever way it ends.
    HostString name;
    SvApiGarmentNameGet(garment, name.handle());
    current_garment_name() = name.text();

    const PluginSettings& settings = plugin_settings();
    const std::string default_directory = settings.default_textures_dir();
    std::string directory = settings.textures_dir();
    if (!choose_directory(directory, default_directory)) return kNotRendered;

    const std::string path = export_path(directory, current_garment_name());
    const std::string options = export_options(path, settings.include_avatar());

    const int result = SvApiRenderExport3DObject(garment, options.c_str());
    if (result != 0) {
        const std::string message = export_error_text(result);
        int answer = 0;
        SvApiWndMessageBox(message.c_str(), kNoticeBox, &answer);
        return result;
    }
    exported_path = path;
    SvApiUpdateSessionFunctionSet_v2(&import_error_handler);
    const int handed = hand_off(current_garment_name(), path, settings.identifier());
    exported_path.clear();
    return handed;
}

}  // namespace

std::string& current_garment_name() {
    static std::string name;
    return name;
}

std::string export_file_stem(const std::string& garment_name) {
    std::string stem = garment_name;
    for (char& c : stem) {
        if (c == '/') c = '_';
    }
    return stem;
}

std::string export_path(const std::string& directory, const std::string& garment_name) {
    std::string path = directory;
    if (path.empty() || path.back() != '/') path += '/';
    return path + export_file_stem(garment_name) + ".fbx";
}

int render_to_orvella(SvApiGarmentId garment) {
    // Set once the export has written the file and until the hand-off owns
    // it, so a failure in between leaves nothing behind.
    std::string exported_path;
    try {
        return render(garment, exported_path);
    } catch (...) {
        if (!exported_path.empty()) std::remove(exported_path.c_str());
        return kNotRendered;
    }
}

}  // namespace orvella
