#include "plugin/garvento_menu.h"

#include "host/host_entry.h"
#include "plugin/render_command.h"
#include "settings/garvento_settings.h"

namespace orvella {

GarventoMenu garvento_menu;

int GarventoMenu::OnCallback(SvApiGarmentId garment, intptr_t callback_id,
                             const char*) noexcept {
    if (callback_id == kRenderToOrvella) return render_to_orvella(garment);
    if (callback_id == kSettings) {
        host_entry([] { open_settings_window(); });
        return SVAPI_CALLBACK_DONE;
    }
    return SVAPI_CALLBACK_FAILED;
}

}  // namespace orvella
