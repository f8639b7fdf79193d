// The plug-in's one exported function, called by the host on its thread
// right after loading the library.
#include <string>

#include "host/host_entry.h"
#include "host/sv_plugin_api.h"
#include "plugin/garvento_menu.h"
#include "plugin/host_version.h"
#include "settings/plugin_settings.h"

namespace {

int register_plugin() {
    if (!orvella::host_version_supported()) return SVAPI_PLUGIN_REFUSED;
    // Built here, on the host's thread, before any worker can need it.
    const std::string identifier = orvella::plugin_settings().identifier();
    SvApiIdentifierSet(identifier.c_str());
    SvApiPluginNameSet("Orvella");
    SvApiMenuFunctionAdd("Render to Orvella", &orvella::garvento_menu, orvella::kRenderToOrvella);
    SvApiMenuFunctionAdd("Settings", &orvella::garvento_menu, orvella::kSettings);
    SvApiMenuFunctionReloadAdd();
    return SVAPI_PLUGIN_REGISTERED;
}

}  // namespace

// SVAPI_PLUGIN_REGISTERED when the plug-in has registered itself,
// SVAPI_PLUGIN_REFUSED when it refuses the host or registering threw.
extern "C" __attribute__((visibility("default"))) int SvApiPluginInit(void) noexcept {
    return orvella::host_entry(SVAPI_PLUGIN_REFUSED, register_plugin);
}
