// "Render to Orvella" as the host feels it: the time the menu command keeps
// the host's thread, through the real plug-in binary and the stand-in host
// library, with the host's export service replaced by a no-op (this program
// defines SvApiRenderExport3DObject itself, and the dynamic linker binds the
// plug-in to that definition before the stand-in library's). Everything
// else is real: the garment name, the settings read from the preferences
// file, the directory check, the option text, the handler registration and
// the start of the hand-off thread. No Orvella is installed, so each hand-off
// ends at once; its session request is delivered between passes, untimed.
// Runs inside tools/sandbox (tools/bench does).
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <string>

#include "bench_support.h"
#include "host/sv_plugin_api.h"
#include "standins/garvento/standin_control.h"

namespace {

std::atomic<long> exports{0};

}  // namespace

// The no-op export: it writes nothing and succeeds.
extern "C" __attribute__((visibility("default"))) int SvApiRenderExport3DObject(
    SvApiGarmentId, const char*) {
    exports.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

namespace {

// Loaded and initialised once, and never unloaded: a hand-off thread may
// still be returning through the plug-in's code after its last host call.
standin::PluginLibrary* plugin() {
    static standin::PluginLibrary* const loaded = [] {
        standin::set_host_thread();
        auto* library = new standin::PluginLibrary(ORVELLA_PLUGIN_PATH);
        if (!library->loaded() || library->init() != 1) return static_cast<standin::PluginLibrary*>(nullptr);
        return library;
    }();
    return loaded;
}

void BM_RenderCommand(benchmark::State& state) {
    if (!orvella_bench::in_sandbox()) {
        state.SkipWithError("run inside tools/sandbox (tools/bench does)");
        return;
    }
    orvella_bench::make_directories("/home/tester/Textures");
    orvella_bench::make_directories("/home/tester/Library/Preferences");
    orvella_bench::write_file(
        "/home/tester/Library/Preferences/com.qorvane.orvella.garvento.plist",
        "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<orvella_garvento_settings>\n"
        "    <IncludeAvatar>true</IncludeAvatar>\n"
        "    <TexturesDir>/home/tester/Textures</TexturesDir>\n</orvella_garvento_settings>\n");
    if (plugin() == nullptr) {
        state.SkipWithError("cannot load and initialise the plug-in");
        return;
    }
    const std::size_t threads_before = standin::process_threads();
    const std::size_t delivered_before = standin::delivered_requests();
    const SvApiGarmentId garment = standin::garment_id(1);
    standin::set_garment(garment, "Skirt");
    long rendered = 0;
    for (auto _ : state) {
        if (standin::pick_menu(0, garment) != 0) {
            state.SkipWithError("the render command failed");
            break;
        }
        ++rendered;
        state.PauseTiming();
        // Deliver what the finished hand-offs sent, and keep the call log small.
        if (rendered % 64 == 0) {
            standin::pump();
            standin::clear_calls();
        }
        state.ResumeTiming();
    }
    // Every hand-off has reported and returned before the next run or the
    // program's end.
    const auto all_done = [&] {
        return standin::delivered_requests() - delivered_before >= static_cast<std::size_t>(rendered) &&
               standin::process_threads() <= threads_before;
    };
    if (!standin::pump_until(all_done, std::chrono::seconds(30)))
        state.SkipWithError("the hand-offs did not all report");
    if (exports.load() < rendered) state.SkipWithError("the no-op export was not the one called");
}
BENCHMARK(BM_RenderCommand)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
