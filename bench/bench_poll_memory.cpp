// What a hand-off's poll attempts take of the host's memory, for scene
// replies of the worst shapes: the peak resident memory above what the
// process held before the first attempt (the renderer's library already
// holding its reply), in a child process of its own for each reply. Each
// worst text names the model in a comment, so the reply screen lets it
// through to the parse, and it never confirms; the attempts of one hand-off
// see it, then the same reply with one byte changed (a renderer still
// loading), so that both copies of the reply are held once. Beside them a
// plain scene of 16 MiB whose last model is the one asked for, which the
// first attempt confirms.
//
//   bench_poll_memory     prints "REPLY,BYTES,PEAK_KIB,CONFIRMED" lines
//
// Runs inside tools/sandbox (tools/bench does): the attempts read their
// reply through the real live-link loader from a library that answers from
// memory, installed at Orvella 9's path.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "handoff/renderer_import_for_testing.h"
#include "handoff/reply_screen.h"
#include "handoff/scene_search.h"

namespace {

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM"); -1 when unknown.
long status_kib(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, field.size() + 1, field + ":") == 0) return std::atol(line.c_str() + field.size() + 1);
    return -1;
}

// The resident peak starts again from what is resident now.
bool reset_peak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return static_cast<bool>(clear.flush());
}

// Three attempts of one hand-off in a child process; prints its line.
void measure(orvella_bench::SetReply set_reply, const std::string& label, std::string reply, bool once_changed) {
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child < 0) std::exit(1);
    if (child > 0) {
        int status = 0;
        ::waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "bench_poll_memory: %s failed\n", label.c_str());
            std::exit(1);
        }
        return;
    }
    orvella::ImportRequest request;
    request.name = "Skirt";
    request.path = "/tmp/Skirt.fbx";
    std::string changed = reply;
    changed[changed.size() / 2] = changed[changed.size() / 2] == 'x' ? 'y' : 'x';
    set_reply(reply.data(), reply.size());
    if (!reset_peak()) std::_Exit(2);
    const long before = status_kib("VmRSS");
    orvella::ReplyMemory memory;
    bool confirmed = false;
    for (int attempt = 0; attempt < 3 && !confirmed; ++attempt) {
        confirmed = orvella::check_imported_model(request, ::getpid(), memory);
        if (attempt == 0 && once_changed) set_reply(changed.data(), changed.size());
    }
    std::printf("%s,%zu,%ld,%d\n", label.c_str(), reply.size(), status_kib("VmHWM") - before,
                confirmed ? 1 : 0);
    std::fflush(stdout);
    std::_Exit(0);
}

}  // namespace

int main() {
    const orvella_bench::SetReply set_reply =
        orvella_bench::install_answering_library(BENCH_LIVE_LINK_LIBRARY);
    const std::size_t k16MiB = std::size_t{16} << 20;
    measure(set_reply, "plain scene", orvella_bench::scene_of(k16MiB, "Skirt", "active"), false);
    const std::string near_miss = "<!--Skirt-->";
    for (const auto& [name, text] : orvella_bench::worst_texts(k16MiB))
        measure(set_reply, name, near_miss + text, true);
    // Nearly as long a reply as an attempt takes (a text grows past the size
    // asked by up to one of its units), of the shapes that take most.
    for (const auto& [name, text] :
         orvella_bench::worst_texts(orvella::kMaxSceneReplyBytes - near_miss.size() - (16 << 10)))
        if (name == "one element, all attributes" || name == "names and values of 16 bytes")
            measure(set_reply, name + " (the longest reply)", near_miss + text, true);
    return 0;
}
