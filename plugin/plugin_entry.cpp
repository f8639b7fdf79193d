// The plug-in's one exported function, called by the host on its thread
// right after loading the library.
#include <string>

#include "plugin/garvento_menu.h"
#include "plugin/host_version.h"
#include "plugin/sv_plugin_api.h"
#include "settings/plugin_settings.h"

namespace {

int register_plugin() {
    if (!orvella::host_version_supported()) return 0;
    // Built here, on the host's thread, before any worker can need it.
    const std::string identifier = orvella::plugin_settings().identifier();
    SvApiIdentifierSet(identifier.c_str());
    SvApiPluginNameSet("Orvella");
    SvApiMenuFunctionAdd("Render to Orvella", &orvella::garvento_menu, orvella::kRenderToOrvella);
    SvApiMenuFunctionAdd("Settings", &orvella::garvento_menu, orvella::kSettings);
    SvApiMenuFunctionReloadAdd();
    return 1;
}

}  // namespace

// 1 when the plug-in has registered itself, 0 when it refuses the host.
// No exception reaches the host: one raised while registering gives 0.
extern "C" __attribute__((visibility("default"))) int SvApiPluginInit(void) {
    try {
        return register_plugin();
    } catch (...) {
        return 0;
    }
}
