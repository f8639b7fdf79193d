// What the shipped macOS dylib costs beside the Linux build of the same
// sources, each loaded by the stand-in host library (the dylib through the
// Mac's loader stand-in), counted in instructions under callgrind:
//
//   settings-read  the settings window's "page ready" event, which reads a
//                  user's preferences file (both values) and answers the page
//   poll-attempt   a render whose hand-off confirms at its first attempt:
//                  the menu command on the host's thread (export, settings
//                  read, thread start), then the hand-off thread's start of
//                  the renderer, the attempt on a 64 KiB scene that names
//                  the model last, in an active set, and the removal of the
//                  exported file
//
//   valgrind --tool=callgrind --instr-atstart=no bench_macos_run PLUGIN
//
// Each case is instrumented alone, in every thread, and dumped under its name. While the hand-off
// runs, this thread waits in one blocking read of an inotify descriptor, so
// it adds nothing to the count. The live-link library answers from memory
// (tests/fuzz/fuzz_live_link.cpp); the renderer is /bin/true, whose process
// is no cost of the plug-in's. Runs inside tools/sandbox (tools/bench does).
#include <sys/inotify.h>
#include <unistd.h>
#include <valgrind/callgrind.h>

#include <cstdio>
#include <string>

#include "bench_support.h"
#include "host/sv_plugin_api.h"
#include "plugin/garvento_menu.h"
#include "standins/garvento/standin_control.h"

namespace {

const std::string kTextures = "/home/tester/Textures";

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "bench_macos_run: %s\n", what.c_str());
    std::exit(1);
}

// Instrumentation is global where collection is per thread: the hand-off
// thread's instructions count only this way.
void measure_from_here() {
    CALLGRIND_START_INSTRUMENTATION;
    CALLGRIND_ZERO_STATS;
}

void measured(const char* name) {
    CALLGRIND_STOP_INSTRUMENTATION;
    CALLGRIND_DUMP_STATS_AT(name);
}

void settings_read() {
    if (standin::pick_menu(orvella::kSettings, nullptr) != SVAPI_CALLBACK_DONE) fail("Settings did not open");
    const SvApiWindowHandle window = standin::newest_open_window();
    measure_from_here();
    const int result = standin::raise_window_event(window, SVAPI_EVENT_PAGE_READY, "");
    measured("settings-read");
    if (result != SVAPI_CALLBACK_DONE) fail("page ready failed");
}

void poll_attempt() {
    const int watch = ::inotify_init1(IN_CLOEXEC);
    if (watch < 0 || ::inotify_add_watch(watch, kTextures.c_str(), IN_DELETE) < 0) fail("inotify");
    standin::set_garment(standin::garment_id(1), "Dress");
    measure_from_here();
    const int result = standin::pick_menu(orvella::kRenderToOrvella, standin::garment_id(1));
    char event[sizeof(inotify_event) + 256];
    const ssize_t got = ::read(watch, event, sizeof event);  // the hand-off removed the export
    measured("poll-attempt");
    ::close(watch);
    if (result != SVAPI_CALLBACK_DONE || got <= 0) fail("the render did not hand off");
    standin::pump();
    if (standin::delivered_requests() != 0) fail("the hand-off reported a failure");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) fail("usage: bench_macos_run PLUGIN");
    const std::string bundle = orvella_bench::install_orvella9();
    orvella_bench::copy_file("/bin/true", bundle + "orvella");
    const std::string scene = orvella_bench::scene_of(64 * 1024, "Dress", "active");
    orvella_bench::install_answering_library(BENCH_LIVE_LINK_LIBRARY)(scene.data(), scene.size());
    orvella_bench::make_directories(kTextures);
    orvella_bench::make_directories("/home/tester/Library/Preferences");
    orvella_bench::write_file(
        "/home/tester/Library/Preferences/com.qorvane.orvella.garvento.plist",
        "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<orvella_garvento_settings>\n"
        "    <IncludeAvatar>true</IncludeAvatar>\n"
        "    <TexturesDir>" + kTextures + "</TexturesDir>\n</orvella_garvento_settings>\n");
    standin::set_host_thread();
    standin::PluginLibrary plugin(argv[1]);
    if (!plugin.loaded() || plugin.init() != SVAPI_PLUGIN_REGISTERED)
        fail("load " + std::string(argv[1]) + ": " + plugin.error());
    settings_read();
    poll_attempt();
    return 0;
}
