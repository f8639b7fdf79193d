// What the settings files can cost the host's thread: each host-thread entry
// that reads one, with that file at its cap and built in the shapes that
// make TinyXML work hardest per byte. A file's cap is the larger of the two
// that stops a read: its size (kMaxXmlFileBytes) or its nodes
// (kXmlFileNodeBudget); each shape is laid out as long as it still reads
// whole. Processor time is the calling thread's; "peak" is the most the
// process's resident memory rose above where it stood when the entry began
// (VmHWM, reset before every call), in MiB. The entries:
//   BM_SettingsRecord  what SvApiPluginInit does with OV9Settings.xml:
//                      builds the settings record, which reads it once;
//   BM_PageReady       the settings window's "page ready" event;
//   BM_SaveReply       the window's OK with a valid reply, the file 4 KiB
//                      under its cap (laid out again and the window reopened
//                      between calls), read back before it is replaced; the
//                      label says whether it was saved or refused as
//                      printing larger than a read takes;
//   BM_RenderSettings  what the render command does with the preferences
//                      file: one read of both values.
// Runs inside tools/sandbox (tools/bench does). With --instructions, under
// valgrind --tool=callgrind --collect-atstart=no, it runs each entry once per
// shape instead, collected alone and dumped as "ENTRY/SHAPE".
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <tinyxml.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>

#include <valgrind/callgrind.h>

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
        case 7: return filled(bytes, open, "<Other kind=\"x\"><b>me</b></Other>\n", "</r>");
        case 8: return filled(bytes, open, "<>x", "</r>");
        case 9: return filled(bytes, open, "<!x>x", "</r>");
        case 10: return filled(bytes, open, "<?x?>x", "</r>");
        case 11: return filled(bytes, open, "<!---->x", "</r>");
        case 12: return filled(bytes, open, "<![CDATA[]]>x", "</r>");
        case 13: return filled(bytes, open, "&lt;x", "</r>");
        default: return filled(bytes, open, "<>x<b/>x<!x>x<?x?>x<!---->x<![CDATA[]]>x&lt;x", "</r>");
    }
}

const char* const kShapeNames[] = {"empty elements",
                                   "branches nested to the limit",
                                   "elements of 9 attributes",
                                   "references",
                                   "32 KiB element names",
                                   "comments",
                                   "empty elements between one-character texts",
                                   "plain elements",
                                   "empty unknown nodes between one-character texts",
                                   "markup declarations between one-character texts",
                                   "processing instructions between one-character texts",
                                   "comments between one-character texts",
                                   "CDATA sections between one-character texts",
                                   "references between one-character texts",
                                   "every kind above in turn between one-character texts"};

constexpr int kShapes = sizeof kShapeNames / sizeof kShapeNames[0];

// The longest file of the shape, up to `cap` bytes, that still reads whole:
// past the node budget a file does not read, and costs only what the
// parse took before it stopped.
std::size_t fitted(int which, std::size_t cap) {
    const auto reads = [which](std::size_t bytes) {
        TiXmlDocument document;
        return orvella::parse_xml_file_bytes(document, shape(which, bytes), TIXML_ENCODING_UNKNOWN);
    };
    if (reads(cap)) return cap;
    std::size_t low = 4 << 10;  // reads
    std::size_t high = cap;     // does not
    while (high - low > 64) {
        const std::size_t middle = low + (high - low) / 2;
        (reads(middle) ? low : high) = middle;
    }
    return low;
}

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

// The shape's cap, found once per shape.
std::size_t cap(int which) {
    static std::size_t found[kShapes] = {};
    if (found[which] == 0) found[which] = fitted(which, orvella::kMaxXmlFileBytes);
    return found[which];
}

void prepare() {
    static bool done = false;
    if (done) return;
    orvella_bench::install_orvella9();
    orvella_bench::make_directories(kTextures);
    orvella_bench::make_directories("/home/tester/Library/Preferences");
    standin::set_host_thread();
    done = true;
}

SvApiWindowHandle window = 0;

SvApiWindowHandle open_window() {
    standin::reset();
    orvella::open_settings_window();
    return standin::newest_open_window();
}

// The save's file leaves this much room below the cap, so that the shapes
// that print no larger than they read are saved, at the most a save can
// print.
constexpr std::size_t kSaveRoom = 4 << 10;

// One host-thread entry: the file it reads, how far under the cap it is
// laid out, what is set up (untimed) before each call with the file's text,
// and the call.
struct Entry {
    const char* name;
    const std::string* path;
    std::size_t room;
    std::function<void(const std::string&)> setup;
    std::function<void()> call;
};

const Entry kEntries[] = {
    {"BM_SettingsRecord", &kOrvellaSettings, 0, [](const std::string&) {},
     [] { benchmark::DoNotOptimize(orvella::PluginSettings().default_textures_dir()); }},
    {"BM_PageReady", &kPreferences, 0, [](const std::string&) { window = open_window(); },
     [] { standin::raise_window_event(window, SVAPI_EVENT_PAGE_READY, ""); }},
    {"BM_SaveReply", &kPreferences, kSaveRoom,
     [](const std::string& text) {
         orvella_bench::write_file(kPreferences, text);
         std::remove((kPreferences + ".unread").c_str());
         window = open_window();
     },
     [] { standin::raise_window_event(window, SVAPI_EVENT_PAGE_REPLY, "true:" + kTextures); }},
    {"BM_RenderSettings", &kPreferences, 0, [](const std::string&) {},
     [] { benchmark::DoNotOptimize(orvella::plugin_settings().read_settings()); }},
};

// The entry's file of the shape, written where it is read.
std::string laid_out(const Entry& entry, int which) {
    prepare();
    const std::string text = shape(which, cap(which) - entry.room);
    orvella_bench::write_file(*entry.path, text);
    return text;
}

// Runs the entry once per iteration, its setup untimed before each, and
// reports the largest peak of them and the file's size; for the save,
// whether it went through (the window closed) or was refused (a file that
// would print larger than a read takes).
void measure(benchmark::State& state, const Entry& entry) {
    if (!orvella_bench::in_sandbox()) {
        state.SkipWithError("run inside tools/sandbox (tools/bench does)");
        return;
    }
    const int which = static_cast<int>(state.range(0));
    const std::string text = laid_out(entry, which);
    double peak = 0;
    PeakMemory memory;
    for (auto _ : state) {
        state.PauseTiming();
        entry.setup(text);
        memory.start();
        state.ResumeTiming();
        entry.call();
        state.PauseTiming();
        const double used = memory.stop_mib();
        if (used > peak) peak = used;
        state.ResumeTiming();
    }
    state.counters["peak_MiB"] = peak;
    state.counters["file_KiB"] = static_cast<double>(text.size()) / 1024;
    const bool save = entry.room != 0;
    state.SetLabel(std::string(kShapeNames[which]) +
                   (!save ? "" : standin::newest_open_window() == window ? " (refused)" : " (saved)"));
}

void shapes(benchmark::internal::Benchmark* b) {
    for (int which = 0; which < kShapes; ++which) b->Arg(which);
    b->Unit(benchmark::kMillisecond)->Iterations(5);
}

// Each entry once per shape under callgrind, collected alone.
int count_instructions() {
    if (!orvella_bench::in_sandbox()) {
        std::fprintf(stderr, "bench_settings_files: run inside tools/sandbox\n");
        return 1;
    }
    // The record is built before the first entry, as SvApiPluginInit does.
    prepare();
    orvella::plugin_settings();
    for (const Entry& entry : kEntries) {
        for (int which = 0; which < kShapes; ++which) {
            const std::string text = laid_out(entry, which);
            entry.setup(text);
            CALLGRIND_TOGGLE_COLLECT;
            entry.call();
            CALLGRIND_TOGGLE_COLLECT;
            const std::string label = std::string(entry.name) + "/" + std::to_string(which);
            CALLGRIND_DUMP_STATS_AT(label.c_str());
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--instructions") == 0) return count_instructions();
    for (const Entry& entry : kEntries) {
        benchmark::RegisterBenchmark(entry.name, [&entry](benchmark::State& state) {
            measure(state, entry);
        })->Apply(shapes);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
