#include "render_road.h"

#include <gtest/gtest.h>

#include "sandbox_files.h"
#include "settings_test_files.h"

namespace orvella_test {

void store_textures_dir(const std::string& directory) {
    make_directories(directory);
    write_file(kPreferences, preferences_file("false", directory));
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

}  // namespace orvella_test
