#include "plugin/render_command.h"

#include <string>
#include <system_error>
#include <utility>

#include "host/host_entry.h"
#include "host/host_string.h"
#include "host/message_box.h"
#include "plugin/export_error.h"
#include "plugin/export_file.h"
#include "plugin/export_options.h"
#include "plugin/hand_off_worker.h"
#include "plugin/import_error.h"
#include "plugin/import_error_handler.h"
#include "plugin/library_pin.h"
#include "plugin/thread_starter.h"
#include "settings/plugin_settings.h"
#include "support/path_tests.h"

namespace orvella {

namespace {

const int kNotRendered = SVAPI_CALLBACK_FAILED;

// The user decides whether an unusable directory gives way to the default.
// Returns false when the user cancelled.
bool choose_directory(std::string& directory, const std::string& default_directory) {
    if (is_existing_directory(directory)) return true;
    // The default is kept even while it does not exist yet: the export's
    // own result tells what happened.
    if (directory == default_directory) return true;
    const std::string question = "The path " + directory + " is invalid so the path " +
                                 default_directory + " will be used instead";
    if (!confirmed(question)) return false;
    directory = default_directory;
    return true;
}

// The worker's own copies of what it hands off. A named type rather than a
// lambda: the debug information names a lambda's type after the source
// path it was compiled from, and the kept debug symbols would then differ
// from one checkout to another.
struct HandOff {
    std::string name;
    std::string path;
    std::string identifier;
    void operator()() { hand_off_worker(std::move(name), std::move(path), std::move(identifier)); }
};

// From here on the exported file belongs to the hand-off worker, which
// carries it to the renderer and deletes it. Returns the command's result.
int hand_off(const std::string& garment_name, ExportFile& file, const std::string& identifier) {
    try {
        // The worker runs this library's code until it ends, whatever the
        // host unloads in the meantime. Without a pin the hand-off still
        // goes ahead, as it always has.
        pin_plugin_library();
        // Copies made here, on the host's thread: the worker outlives this
        // command and the next render's current_garment_name, and may outlive
        // the settings record when the host quits.
        start_detached_thread(HandOff{garment_name, file.path(), identifier});
        file.release();
        return SVAPI_CALLBACK_DONE;
    } catch (const std::system_error&) {
        // No thread, so no worker will report, and `file` deletes the export
        // as the command ends: tell the user here, and let the host go on.
        ImportRequest unknown{garment_name, file.path(), kImportUnknown};
        show_notice(import_error_text(unknown));
        return kNotRendered;
    }
}

int render(SvApiGarmentId garment) {
    // Released when the command ends, whichever way it ends.
    HostString name;
    SvApiGarmentNameGet(garment, name.handle());
    current_garment_name() = name.text();

    const PluginSettings& settings = plugin_settings();
    const std::string default_directory = settings.default_textures_dir();
    // One read of the preferences file serves the whole command.
    const StoredSettings stored = settings.read_settings();
    std::string directory = stored.textures_dir;
    if (!choose_directory(directory, default_directory)) return kNotRendered;

    // Deletes what this render created, and nothing else, unless the
    // hand-off takes the file over.
    ExportFile file = ExportFile::reserve(directory, current_garment_name());
    if (file.path().empty()) {
        // Every name is taken, or none could be reserved: an export now
        // could write over a file that is not ours.
        show_notice(export_error_text(kNotRendered));
        return kNotRendered;
    }
    const std::string options = export_options(file.path(), stored.include_avatar);

    const int result = SvApiRenderExport3DObject(garment, options.c_str());
    if (result != SVAPI_OK) {
        show_notice(export_error_text(result));
        return result;
    }
    file.exported();
    SvApiUpdateSessionFunctionSet_v2(&import_error_handler);
    return hand_off(current_garment_name(), file, settings.identifier());
}

}  // namespace

std::string& current_garment_name() {
    static std::string name;
    return name;
}

int render_to_orvella(SvApiGarmentId garment) noexcept {
    return host_entry(kNotRendered, [garment] { return render(garment); });
}

}  // namespace orvella
