// What the plug-in asked of the stand-in host, as the tests read it back.
#pragma once

#include <string>
#include <vector>

#include "standins/garvento/standin_control.h"

namespace orvella_test {

// The plug-in's calls (not the host's own actions) named `function`.
std::vector<standin::Call> plugin_calls_named(const std::string& function);

// "kind: text" of every message box, in order.
std::vector<std::string> message_boxes();

}  // namespace orvella_test
