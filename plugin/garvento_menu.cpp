#include "plugin/garvento_menu.h"

#include "plugin/render_command.h"
#include "settings/garvento_settings.h"

namespace orvella {

GarventoMenu garvento_menu;

int GarventoMenu::OnCallback(SvApiGarmentId garment, intptr_t callback_id, const char*) {
    if (callback_id == kRenderToOrvella) return render_to_orvella(garment);
    if (callback_id == kSettings) {
        try {
            open_settings_window();
        } catch (...) {
        }
        return 0;
    }
    return 1;
}

}  // namespace orvella
