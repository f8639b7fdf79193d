#include "render_road.h"

#include <gtest/gtest.h>

#include "sandbox_files.h"
#include "settings_test_files.h"

namespace orvella_test {

void store_textures_dir(const std::string& directory) {
    make_directories(directory);
    write_file(kPreferences, kDeclaration + "<orvella_garvento_settings>\n"
                                            "    <IncludeAvatar>false</IncludeAvatar>\n"
                                            "    <TexturesDir>" + directory + "</TexturesDir>\n"
                                            "</orvella_garvento_settings>\n");
}

void start_host_session() {
    ASSERT_TRUE(in_sandbox());
    make_directories(kPreferencesDir);
    store_textures_dir(kRoadTextures);
    standin::reset();
    standin::set_host_thread();
}

bool wait_for_hand_offs(std::size_t requests, std::size_t threads,
                        std::chrono::milliseconds deadline) {
    return standin::pump_until(
        [&] {
            return standin::exported_files_left().empty() &&
                   standin::delivered_requests() >= requests && thread_count() <= threads;
        },
        deadline);
}

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
