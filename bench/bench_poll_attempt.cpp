// One poll attempt of the hand-off, check_imported_model, through the
// stand-in live-link library, for scene replies of 1 KiB, 1 MiB and 16 MiB,
// beside what it cannot avoid: the library's own answer (attach_process and
// scene_xml, which the stand-in serves by reading the published scene file)
// and a bare TiXmlDocument::Parse of the same text; and the search alone.
// The model searched for is the last one of the scene, in an active model
// set, at level 3, so the search visits every element before it.
//
// Runs inside tools/sandbox (tools/bench does): the stand-in library is
// installed as Orvella 9's, and the scene is published for this process's
// own id, which the stand-in attaches to while the process runs.
#include <benchmark/benchmark.h>

#include <dlfcn.h>
#include <unistd.h>

#include <tinyxml.h>

#include <cstdint>
#include <string>

#include "bench_support.h"
#include "handoff/renderer_import_for_testing.h"
#include "handoff/reply_screen.h"
#include "handoff/scene_search.h"
#include "src/importers/sceneapi/dev/orvella_live.h"
#include "standins/orvella/scene_channel.h"

namespace {

const char kModel[] = "Skirt";

// Installs the library once and publishes a scene of `bytes` for this process.
void publish(std::size_t bytes) {
    static bool installed = false;
    if (!installed) {
        const std::string bundle = orvella_bench::install_orvella9();
        orvella_bench::copy_file(ORVELLA_STANDIN_LIVE6, bundle + "qororvellalive6.so");
        orvella_bench::make_directories(orvella_standin::channel_directory());
        installed = true;
    }
    orvella_bench::write_file(orvella_standin::scene_path(::getpid()),
                              orvella_bench::scene_of(bytes, kModel, "active"));
}

void BM_PollAttempt(benchmark::State& state) {
    const std::size_t bytes = static_cast<std::size_t>(state.range(0));
    publish(bytes);
    orvella::ImportRequest request;
    request.name = kModel;
    request.path = "/tmp/Skirt.fbx";
    for (auto _ : state) {
        orvella::ReplyMemory memory;  // each attempt a first one
        const bool confirmed = orvella::check_imported_model(request, ::getpid(), memory);
        if (!confirmed) {
            state.SkipWithError("the model was not confirmed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

// What the stand-in library itself spends answering one attempt.
void BM_LiveLinkReply(benchmark::State& state) {
    const std::size_t bytes = static_cast<std::size_t>(state.range(0));
    publish(bytes);
    void* library = ::dlopen("/Applications/Orvella9.app/Contents/MacOS/qororvellalive6.so",
                             RTLD_LAZY | RTLD_LOCAL);
    auto initialize = library ? reinterpret_cast<orvella::OrvellaLiveInitialize>(
                                    ::dlsym(library, orvella::kOrvellaLiveInitializeSymbol))
                              : nullptr;
    orvella::OrvellaLive* live = initialize ? initialize() : nullptr;
    orvella::QueryApi* api = live ? live->query_api() : nullptr;
    if (api == nullptr) {
        state.SkipWithError("the stand-in live-link library does not answer");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(api->attach_process(::getpid()));
        std::string reply = api->scene_xml();
        benchmark::DoNotOptimize(reply.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

void BM_BareParse(benchmark::State& state) {
    const std::size_t bytes = static_cast<std::size_t>(state.range(0));
    const std::string scene = orvella_bench::scene_of(bytes, kModel, "active");
    for (auto _ : state) {
        TiXmlDocument document;
        document.Parse(scene.c_str());
        benchmark::DoNotOptimize(document.FirstChildElement());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

// The copy the attempt takes of the library's text, then the parse of it:
// what the attempt does with a reply it has in hand, without the search.
void BM_CopyAndParse(benchmark::State& state) {
    const std::size_t bytes = static_cast<std::size_t>(state.range(0));
    const std::string scene = orvella_bench::scene_of(bytes, kModel, "active");
    for (auto _ : state) {
        const std::string reply = scene.c_str();
        TiXmlDocument document;
        document.Parse(reply.c_str());
        benchmark::DoNotOptimize(document.FirstChildElement());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

// The search alone, over a document parsed beforehand: the part of the
// attempt's own work that grows with the scene.
void BM_ModelSearch(benchmark::State& state) {
    const std::string scene =
        orvella_bench::scene_of(static_cast<std::size_t>(state.range(0)), kModel, "active");
    TiXmlDocument document;
    document.Parse(scene.c_str());
    const TiXmlElement* root = document.FirstChildElement();
    for (auto _ : state) {
        const TiXmlElement* found = orvella::find_named_model(root, kModel, orvella::kSceneSearchDepth);
        if (found == nullptr) {
            state.SkipWithError("the model was not found");
            break;
        }
        benchmark::DoNotOptimize(found);
    }
}

#define SCENE_SIZES ->Arg(1 << 10)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMicrosecond)
BENCHMARK(BM_BareParse) SCENE_SIZES;
BENCHMARK(BM_LiveLinkReply) SCENE_SIZES;
BENCHMARK(BM_PollAttempt) SCENE_SIZES;
BENCHMARK(BM_CopyAndParse) SCENE_SIZES;
BENCHMARK(BM_ModelSearch) SCENE_SIZES;

}  // namespace

BENCHMARK_MAIN();
