// The plug-in's menu commands: one object answers both entries.
#pragma once

#include <stdint.h>

#include "plugin/sv_plugin_api.h"

namespace orvella {

// Callback ids of the two entries SvApiPluginInit registers.
const intptr_t kRenderToOrvella = 0;  // "Render to Orvella"
const intptr_t kSettings = 1;         // "Settings"

class GarventoMenu : public SvApiCallbackBase {
public:
    constexpr GarventoMenu() = default;
    ~GarventoMenu() override {}

    // Host thread; `data` is not read.
    //   0: render_to_orvella(garment), and its result;
    //   1: open_settings_window(), and 0 whatever the window does;
    //   any other id: nothing, 1.
    // No exception leaves this call.
    int OnCallback(SvApiGarmentId garment, intptr_t callback_id, const char* data) override;
};

// The one menu object, alive as long as the library.
extern GarventoMenu garvento_menu;

}  // namespace orvella
