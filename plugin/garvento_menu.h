// The plug-in's menu commands: one object answers both entries.
#pragma once

#include <stdint.h>

#include "host/sv_plugin_api.h"

namespace orvella {

// Callback ids of the two entries SvApiPluginInit registers.
const intptr_t kRenderToOrvella = 0;  // "Render to Orvella"
const intptr_t kSettings = 1;         // "Settings"

class GarventoMenu : public SvApiCallbackBase {
public:
    constexpr GarventoMenu() = default;
    ~GarventoMenu() override {}

    // Host thread; `data` is not read.
    //   kRenderToOrvella: render_to_orvella(garment), and its result;
    //   kSettings: open_settings_window(), and SVAPI_CALLBACK_DONE whatever
    //   the window does;
    //   any other id: nothing, SVAPI_CALLBACK_FAILED.
    int OnCallback(SvApiGarmentId garment, intptr_t callback_id,
                   const char* data) noexcept override;
};

// The one menu object, alive as long as the library.
extern GarventoMenu garvento_menu;

}  // namespace orvella
