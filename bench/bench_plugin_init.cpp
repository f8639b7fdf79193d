// SvApiPluginInit of the real plug-in binary, loaded by the stand-in host
// library as a host loads it, with an Orvella 9 installation present (its
// bundle, its support folder and an OV9Settings.xml naming the textures
// folder). Two views of it:
//   BM_PluginInit         the plug-in stays loaded; every call takes the
//                         version gate and registers the identifier, the name
//                         and both menu commands again (the settings record
//                         already exists after the first);
//   BM_LoadInitUnload     what a host start costs: dlopen, SvApiPluginInit
//                         and dlclose each time, so the record is built anew
//                         from the installation whenever the binary really
//                         unloads (the program says whether it does).
// Runs inside tools/sandbox (tools/bench does).
#include <benchmark/benchmark.h>

#include <dlfcn.h>

#include <cstdio>
#include <string>

#include "bench_support.h"
#include "standins/garvento/standin_control.h"

namespace {

void install() {
    static bool done = false;
    if (done) return;
    orvella_bench::install_orvella9();
    orvella_bench::write_file("/Library/Application Support/Orvella9/OV9Settings.xml",
                              "<settings><folders><textures_default>/home/tester/Textures"
                              "</textures_default></folders></settings>\n");
    orvella_bench::make_directories("/home/tester/Textures/Garvento");
    standin::set_host_thread();
    done = true;
}

void BM_PluginInit(benchmark::State& state) {
    install();
    standin::PluginLibrary plugin(ORVELLA_PLUGIN_PATH);
    if (!plugin.loaded()) {
        state.SkipWithError(("cannot load the plug-in: " + plugin.error()).c_str());
        return;
    }
    for (auto _ : state) {
        if (plugin.init() != 1) {
            state.SkipWithError("SvApiPluginInit refused the host");
            break;
        }
        state.PauseTiming();
        standin::reset();  // the host's record of menus and calls stays small
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PluginInit)->Unit(benchmark::kMicrosecond);

void BM_LoadInitUnload(benchmark::State& state) {
    install();
    for (auto _ : state) {
        standin::PluginLibrary plugin(ORVELLA_PLUGIN_PATH);
        if (!plugin.loaded() || plugin.init() != 1) {
            state.SkipWithError("cannot load and initialise the plug-in");
            break;
        }
        state.PauseTiming();
        standin::reset();
        state.ResumeTiming();
    }
    // Whether dlclose really unloaded the binary, so each pass built the
    // settings record from the installation again.
    void* still = ::dlopen(ORVELLA_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD);
    state.SetLabel(still ? "binary stays loaded after dlclose" : "unloaded after each pass");
    if (still) ::dlclose(still);
}
BENCHMARK(BM_LoadInitUnload)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
