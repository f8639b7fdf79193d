#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "handoff/renderer_import_for_testing.h"
#include "orvella_standin.h"
#include "sandbox_files.h"

using namespace orvella;
using namespace orvella_test;

namespace {

// The real processor-time clock; an attempt every millisecond instead of
// every second, so the hand-offs' queries crowd each other while the
// renderers take their time to import. (Processor time cannot outrun the
// wall clock by more than the number of cores, so the budget is not reached.)
int quick_sleep(useconds_t microseconds) { return ::usleep(microseconds / 1000); }

}  // namespace

// Eight hand-offs at once against eight renderers, each of which imports
// only its own model. The live-link query is stateful (attach, then read), so
// without one lock over the whole attempt a hand-off reads another's scene.
TEST(ConcurrentHandOffs, EachConfirmsExactlyItsOwnModel) {
    ASSERT_TRUE(in_sandbox());
    install_standin(9, false, LiveLibrary::standin);
    const std::string log_path = "/Library/Application Support/Orvella9/sceneapi.log";
    make_directories("/Library/Application Support/Orvella9");
    ::setenv("ORVELLA_STANDIN_IMPORT_DELAY_MS", "500", 1);
    ::setenv("ORVELLA_STANDIN_LIFETIME_MS", "60000", 1);
    set_poll_pace({std::clock, quick_sleep});

    constexpr int kHandOffs = 8;
    std::vector<ImportRequest> requests;
    for (int i = 0; i < kHandOffs; ++i) {
        const std::string name = "Garment " + std::to_string(i);
        const std::string path = "/tmp/textures/" + name + ".fbx";
        write_file(path, "Objects:  {\n\tModel: 1, \"Model::" + name + "\", \"Mesh\" {\n\t}\n}\n");
        requests.push_back({name, path});
    }
    std::atomic<int> ready{0};
    std::vector<std::thread> workers;
    for (ImportRequest& request : requests)
        workers.emplace_back([&request, &ready] {
            ready.fetch_add(1);
            while (ready.load() < kHandOffs) std::this_thread::yield();
            import_into_orvella(request);
        });
    for (std::thread& worker : workers) worker.join();
    set_poll_pace({});

    for (const ImportRequest& request : requests)
        EXPECT_EQ(kImportConfirmed, request.status) << request.name;
    EXPECT_FALSE(interleaving_recorded())
        << "a scene was read by a hand-off that had not attached it: "
        << read_file(channel_directory() + "/interleaved");

    // Eight renderers, one per file, and only they were attached.
    const std::vector<pid_t> renderers = started_renderers();
    ASSERT_EQ(static_cast<size_t>(kHandOffs), renderers.size());
    std::set<std::string> files;
    for (pid_t pid : renderers) files.insert(recorded_command_line(pid).at(2));
    EXPECT_EQ(static_cast<size_t>(kHandOffs), files.size());
    const std::vector<pid_t> attached = attached_processes();
    EXPECT_EQ(std::set<pid_t>(renderers.begin(), renderers.end()),
              std::set<pid_t>(attached.begin(), attached.end()));

    // Every log line whole; the library was loaded once, by the first request.
    std::ostringstream null_pointer;
    null_pointer << static_cast<const void*>(nullptr);
    const std::regex whole("orvellalive_loader\\.cpp:[0-9]+ - [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} "
                           "(DEBUG4|DEBUG):  (qor_get_query_api -> orvella_live_loader: .+|"
                           "shared_library_open: /Applications/Orvella9\\.app/Contents/MacOS//"
                           "qororvellalive6\\.so|Orvella live: .+)");
    std::istringstream lines(read_file(log_path));
    int count = 0, opens = 0, null_entries = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        EXPECT_TRUE(std::regex_match(line, whole)) << line;
        if (line.find("shared_library_open: ") != std::string::npos) ++opens;
        if (line.size() >= null_pointer.str().size() + 1 &&
            line.compare(line.size() - null_pointer.str().size() - 2, std::string::npos,
                         ": " + null_pointer.str()) == 0 &&
            line.find("orvella_live_loader") != std::string::npos)
            ++null_entries;
    }
    EXPECT_GT(count, kHandOffs);
    EXPECT_EQ(1, opens);
    EXPECT_EQ(1, null_entries);
}
