#include "host_calls.h"

namespace orvella_test {

std::vector<standin::Call> plugin_calls_named(const std::string& function) {
    std::vector<standin::Call> found;
    for (const standin::Call& call : standin::plugin_calls())
        if (call.function == function) found.push_back(call);
    return found;
}

std::vector<std::string> message_boxes() {
    std::vector<std::string> boxes;
    for (const standin::Call& call : plugin_calls_named("SvApiWndMessageBox"))
        boxes.push_back(call.args.at(1) + ": " + call.args.at(0));
    return boxes;
}

}  // namespace orvella_test
