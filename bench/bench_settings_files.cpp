// What the settings files can cost the host's thread: each host-thread entry
// that reads one, with that file at its size cap and built in the shapes
// that make TinyXML work hardest per byte. Processor time is the calling
// thread's; "peak" is the most the process's resident memory rose above
// where it stood when the entry began (VmHWM, reset before every call), in
// MiB. The entries:
//   BM_SettingsRecord  what SvApiPluginInit does with OV9Settings.xml:
//                      builds the settings record, which reads it once;
//   BM_PageReady       the settings window's "page ready" event;
//   BM_SaveReply       the window's OK with a valid reply, the file 4 KiB
//                      under the cap (laid out again and the window reopened
//                      between calls); the label says whether it was saved
//                      or refused as printing larger than a read takes;
//   BM_RenderSettings  what the render command does with the preferences
//                      file: one read of both values.
// Runs inside tools/sandbox (tools/bench does).
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "bench_support.h"
#include "host/sv_plugin_api.h"
#include "settings/garvento_settings.h"
#include "settings/plugin_settings.h"
#include "standins/garvento/standin_control.h"
#include "support/xml_input.h"

namespace {

const std::string kPreferences =
    "/home/tester/Library/Preferences/com.qorvane.orvella.garvento.plist";
const std::string kOrvellaSettings = "/Library/Application Support/Orvella9/OV9Settings.xml";
const std::string kTextures = "/home/tester/Textures";

// `unit` repeated inside `open` ... `close` up to `bytes` in all; the rest is
// white space before the closing tag.
std::string filled(std::size_t bytes, const std::string& open, const std::string& unit,
                   const std::string& close) {
    std::string text = open;
    while (text.size() + unit.size() + close.size() <= bytes) text += unit;
    text.append(bytes - text.size() - close.size(), '\n');
    return text + close;
}

std::string branch_to_the_limit() {
    std::string branch;
    for (std::size_t i = 1; i < orvella::kMaxXmlDepth; ++i) branch += "<a>";
    for (std::size_t i = 1; i < orvella::kMaxXmlDepth; ++i) branch += "</a>";
    return branch;
}

std::string shape(int which, std::size_t bytes) {
    const std::string values = "<IncludeAvatar>true</IncludeAvatar><TexturesDir>" + kTextures +
                               "</TexturesDir><folders><textures_default>" + kTextures +
                               "</textures_default></folders>";
    const std::string open = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<r>" + values;
    switch (which) {
        case 0: return filled(bytes, open, "<b/>", "</r>");
        case 1: return filled(bytes, open, branch_to_the_limit(), "</r>");
        case 2: return filled(bytes, open, "<b a=\"\" b=\"\" c=\"\" d=\"\" e=\"\" f=\"\" g=\"\" h=\"\" i=\"\"/>", "</r>");
        case 3: return filled(bytes, open + "<t>", "&lt;", "</t></r>");
        case 4: return filled(bytes, open, "<" + std::string(32 << 10, 'n') + "/>", "</r>");
        case 5: return filled(bytes, open, "<!---->", "</r>");
        case 6: return filled(bytes, open, "<b/>x", "</r>");
        default: return filled(bytes, open, "<Other kind=\"x\"><b>me</b></Other>\n", "</r>");
    }
}

const char* const kShapeNames[] = {"empty elements",
                                   "branches nested to the limit",
                                   "elements of 9 attributes",
                                   "references",
                                   "32 KiB element names",
                                   "comments",
                                   "empty elements between one-character texts",
                                   "plain elements"};

constexpr int kShapes = sizeof kShapeNames / sizeof kShapeNames[0];

// The peak of the process's resident memory over one call, above where it
// stood before: freed memory is handed back first, and the kernel's
// high-water mark is reset (Linux 4.0 and later).
class PeakMemory {
public:
    void start() {
        ::malloc_trim(0);
        std::ofstream("/proc/self/clear_refs") << "5";
        before_ = status_kib("VmRSS:");
    }
    double stop_mib() const { return (status_kib("VmHWM:") - before_) / 1024.0; }

private:
    static long status_kib(const char* field) {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line))
            if (line.compare(0, std::strlen(field), field) == 0) return std::stol(line.substr(std::strlen(field)));
        return 0;
    }
    long before_ = 0;
};

std::size_t cap() { return orvella::kMaxXmlFileBytes; }

void prepare() {
    static bool done = false;
    if (done) return;
    orvella_bench::install_orvella9();
    orvella_bench::make_directories(kTextures);
    orvella_bench::make_directories("/home/tester/Library/Preferences");
    standin::set_host_thread();
    done = true;
}

// Runs `entry` once per iteration, `setup` untimed before each, and reports
// the largest peak of them and the file's size.
template <typename Setup, typename Entry>
void measure(benchmark::State& state, const std::string& path, std::size_t bytes, Setup setup,
             Entry entry) {
    if (!orvella_bench::in_sandbox()) {
        state.SkipWithError("run inside tools/sandbox (tools/bench does)");
        return;
    }
    prepare();
    const int which = static_cast<int>(state.range(0));
    const std::string text = shape(which, bytes);
    orvella_bench::write_file(path, text);
    double peak = 0;
    PeakMemory memory;
    for (auto _ : state) {
        state.PauseTiming();
        setup(text);
        memory.start();
        state.ResumeTiming();
        entry();
        state.PauseTiming();
        const double used = memory.stop_mib();
        if (used > peak) peak = used;
        state.ResumeTiming();
    }
    state.counters["peak_MiB"] = peak;
    state.counters["file_KiB"] = static_cast<double>(text.size()) / 1024;
    state.SetLabel(kShapeNames[which]);
}

void BM_SettingsRecord(benchmark::State& state) {
    measure(state, kOrvellaSettings, cap(), [](const std::string&) {},
            [] { benchmark::DoNotOptimize(orvella::PluginSettings().default_textures_dir()); });
}

SvApiWindowHandle open_window() {
    standin::reset();
    orvella::open_settings_window();
    return standin::newest_open_window();
}

void BM_PageReady(benchmark::State& state) {
    SvApiWindowHandle window = 0;
    measure(
        state, kPreferences, cap(), [&](const std::string&) { window = open_window(); },
        [&] { standin::raise_window_event(window, SVAPI_EVENT_PAGE_READY, ""); });
}

// The save's file leaves this much room below the cap, so that the shapes
// that print no larger than they read are saved, at the most a save can
// print.
constexpr std::size_t kSaveRoom = 4 << 10;

void BM_SaveReply(benchmark::State& state) {
    SvApiWindowHandle window = 0;
    measure(
        state, kPreferences, cap() - kSaveRoom,
        [&](const std::string& text) {
            orvella_bench::write_file(kPreferences, text);
            std::remove((kPreferences + ".unread").c_str());
            window = open_window();
        },
        [&] { standin::raise_window_event(window, SVAPI_EVENT_PAGE_REPLY, "true:" + kTextures); });
    // Whether the save went through (the window closed) or was refused (a
    // file that would print larger than a read takes).
    state.SetLabel(std::string(kShapeNames[state.range(0)]) +
                   (standin::newest_open_window() == window ? " (refused)" : " (saved)"));
}

void BM_RenderSettings(benchmark::State& state) {
    measure(state, kPreferences, cap(), [](const std::string&) {}, [] {
        benchmark::DoNotOptimize(orvella::plugin_settings().read_settings());
    });
}

void shapes(benchmark::internal::Benchmark* b) {
    for (int which = 0; which < kShapes; ++which) b->Arg(which);
    b->Unit(benchmark::kMillisecond)->Iterations(5);
}

BENCHMARK(BM_SettingsRecord)->Apply(shapes);
BENCHMARK(BM_PageReady)->Apply(shapes);
BENCHMARK(BM_SaveReply)->Apply(shapes);
BENCHMARK(BM_RenderSettings)->Apply(shapes);

}  // namespace

BENCHMARK_MAIN();
