// One log statement as the live-link loader writes it, into a real
// sceneapi.log: build the line, one fputs, one fflush. Run inside
// tools/sandbox (tools/bench does), where Orvella's support folder is laid
// out in the sandbox's own /Library.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_support.h"
#include "support/file_log.h"

namespace {

void BM_LogStatement(benchmark::State& state) {
    orvella_bench::install_orvella9();
    if (orvella::Output2FILE::log_file() == nullptr) {
        state.SkipWithError("sceneapi.log cannot be opened (run through tools/bench)");
        return;
    }
    const std::string path = "/Applications/Orvella9.app/Contents/MacOS/qororvellalive6.so";
    for (auto _ : state) {
        LOG_LINE(orvella::logDEBUG) << "shared_library_open: " << path;
    }
}
BENCHMARK(BM_LogStatement);

}  // namespace

BENCHMARK_MAIN();
