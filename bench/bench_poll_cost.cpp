// What one poll attempt costs beside the parse of the same reply, in
// instructions (run under callgrind) and in wall and processor time (run
// natively). For scene replies of 1 KiB, 1 MiB and 16 MiB, three cases:
//
//   present    the model is the scene's last, level 3, in an active set: the
//              attempt must parse, and confirms
//   absent     the reply does not hold the name: the screen rules it out
//   unchanged  the model is in a set still loading, and the reply is that of
//              the attempt before, which parsed it without confirming
//   references the reply does not hold the name but holds "&amp;" in every
//              model, so the screen cannot rule it out: the attempt before
//              parsed it, and this one sees it unchanged
//
// beside a bare TiXmlDocument construction, Parse and destruction of the
// same text; and the attempt as it was before the screen (copy, parse,
// search on every attempt), for the whole-hand-off figure.
//
//   bench_poll_cost --instructions   under valgrind --tool=callgrind
//       --collect-atstart=no: each measured call is collected alone and its
//       counts dumped under the name "CASE/SIZE/WHAT"
//   bench_poll_cost --times N        natively: the median wall and
//       processor time (this thread's) of N calls, as CSV lines
//       "CASE/SIZE/WHAT,wall_us,cpu_us"
//   a further argument SIZE (1KiB, 1MiB) stops after the scenes of that size;
//       "worst" measures only the parses of the worst texts of 4 MiB (the
//       full run measures them first); "shapes" measures only our parser
//       beside Debian's on texts of 256 KiB of one element shape each,
//       labelled "shapes/SHAPE/ours" and "shapes/SHAPE/debian"
//
// The attempt reads its reply through the real live-link loader from a
// library that answers from memory, as a renderer does (the stand-in
// renderer's library reads a file, which is no cost of the plug-in's), so it
// runs inside tools/sandbox, which tools/bench does.
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>
#include <valgrind/callgrind.h>

#include <tinyxml.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "handoff/renderer_import_for_testing.h"
#include "handoff/reply_screen.h"
#include "handoff/scene_search.h"
#include "support/xml_input.h"
#include "tinyxml_reference.h"

namespace {

const char kModel[] = "Skirt";

double seconds(clockid_t clock) {
    timespec t {};
    ::clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

class Measure {
public:
    explicit Measure(int repetitions) : repetitions_(repetitions) {}

    // Runs `prepare` (not measured), then `call` (measured), once per
    // repetition, or once under callgrind.
    void operator()(const std::string& label, const std::function<void()>& prepare,
                    const std::function<void()>& call) {
        if (repetitions_ == 0) {
            prepare();
            CALLGRIND_TOGGLE_COLLECT;
            call();
            CALLGRIND_TOGGLE_COLLECT;
            CALLGRIND_DUMP_STATS_AT(label.c_str());
            return;
        }
        std::vector<double> wall;
        std::vector<double> cpu;
        for (int i = 0; i < repetitions_; ++i) {
            prepare();
            const double wall_start = seconds(CLOCK_MONOTONIC);
            const double cpu_start = seconds(CLOCK_THREAD_CPUTIME_ID);
            call();
            cpu.push_back(seconds(CLOCK_THREAD_CPUTIME_ID) - cpu_start);
            wall.push_back(seconds(CLOCK_MONOTONIC) - wall_start);
        }
        std::printf("%s,%.3f,%.3f\n", label.c_str(), median(wall) * 1e6, median(cpu) * 1e6);
        std::fflush(stdout);
    }

private:
    const int repetitions_;
};

// Every model's material as "silk &amp; wool".
std::string with_references(std::string scene) {
    const std::string plain = "\"fabric\"";
    const std::string referenced = "\"silk &amp; wool\"";
    std::string out;
    std::size_t from = 0;
    for (std::size_t at; (at = scene.find(plain, from)) != std::string::npos; from = at + plain.size())
        out.append(scene, from, at - from).append(referenced);
    return out.append(scene, from, std::string::npos);
}

[[noreturn]] void wrong(const std::string& what) {
    std::fprintf(stderr, "bench_poll_cost: %s\n", what.c_str());
    std::exit(1);
}

// Our parser beside Debian's (built alone into a library of its own, its
// symbols kept local), each constructing a document, parsing and
// destroying it, on texts of one element shape each.
void measure_shapes(int repetitions) {
    void* library = ::dlopen(BENCH_TINYXML_DEBIAN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    const auto debian_parse = library ? reinterpret_cast<TinyXmlReferenceParseOnly>(
                                            ::dlsym(library, "tinyxml_reference_parse_only"))
                                      : nullptr;
    if (debian_parse == nullptr) wrong(std::string("cannot load ") + BENCH_TINYXML_DEBIAN_LIBRARY);
    const std::size_t bytes = 256 << 10;
    auto fill = [bytes](const std::string& unit) {
        std::string text = "<r>";
        while (text.size() + unit.size() + 4 < bytes) text += unit;
        return text + "</r>";
    };
    std::vector<std::pair<std::string, std::string>> shapes = {
        {"empty elements", fill("<e/>")},
        {"elements with a word of text", fill("<e>word</e>")},
        {"branches nested 100 levels",
         fill([] {
             std::string branch;
             for (int i = 0; i < 100; ++i) branch += "<a>";
             for (int i = 0; i < 100; ++i) branch += "</a>";
             return branch;
         }())},
    };
    for (const int count : {1, 2, 4, 8, 16, 32, 48, 64, 65, 80, 96, 128, 256, 1000}) {
        std::string element = "<e";
        for (int i = 0; i < count; ++i) element += " a" + std::to_string(i) + "=\"v\"";
        shapes.emplace_back("elements of " + std::to_string(count) + " attributes", fill(element + "/>"));
    }
    Measure measure(repetitions);
    for (const auto& [name, text] : shapes) {
        const std::string padded = text + std::string(3, '\0');  // Debian's may read that far
        TiXmlDocument check;
        check.Parse(text.c_str());
        if (check.Error() || debian_parse(padded.c_str()) != 0) wrong(name + " does not parse");
        measure("shapes/" + name + "/ours", [] {}, [&] {
            TiXmlDocument document;
            document.Parse(text.c_str());
        });
        measure("shapes/" + name + "/debian", [] {}, [&] { debian_parse(padded.c_str()); });
    }
}

}  // namespace

int main(int argc, char** argv) {
    int repetitions = -1;
    int next = 2;
    if (argc >= 2 && std::strcmp(argv[1], "--instructions") == 0) repetitions = 0;
    if (argc >= 3 && std::strcmp(argv[1], "--times") == 0) repetitions = std::atoi(argv[next++]);
    const char* last_size = next < argc ? argv[next++] : nullptr;
    if (repetitions < 0 || next < argc) {
        std::fprintf(stderr, "usage: bench_poll_cost --instructions | --times N  [SIZE | worst | shapes]\n");
        return 2;
    }
    if (last_size != nullptr && std::strcmp(last_size, "shapes") == 0) {
        measure_shapes(repetitions);
        return 0;
    }
    const orvella_bench::SetReply set_reply = orvella_bench::install_answering_library(BENCH_LIVE_LINK_LIBRARY);
    Measure measure(repetitions);
    orvella::ImportRequest request;
    request.name = kModel;
    request.path = "/tmp/Skirt.fbx";

    // The worst texts a file of at most 4 MiB or a scene reply can be,
    // beside a plain scene of the same size; construction, Parse and
    // destruction, as the bare parse below.
    const bool worst_only = last_size != nullptr && std::strcmp(last_size, "worst") == 0;
    if (last_size == nullptr || worst_only) {
        const std::size_t bytes = 4 << 20;
        auto parse = [&measure](const std::string& label, const std::string& text) {
            measure(label, [] {}, [&] {
                TiXmlDocument document;
                document.Parse(text.c_str());
            });
        };
        parse("worst/plain scene/parse", orvella_bench::scene_of(bytes, kModel, "active"));
        for (const auto& [name, text] : orvella_bench::worst_texts(bytes)) {
            TiXmlDocument check;
            check.Parse(text.c_str());
            if (check.Error()) wrong(name + " does not parse: " + check.ErrorDesc());
            parse("worst/" + name + "/parse", text);
        }
        if (worst_only) return 0;
    }

    const struct {
        const char* name;
        std::size_t bytes;
    } sizes[] = {{"1KiB", 1 << 10}, {"1MiB", 1 << 20}, {"16MiB", 16 << 20}};
    for (const auto& size : sizes) {
        const struct {
            const char* name;
            std::string scene;
            bool confirms;
        } cases[] = {
            {"present", orvella_bench::scene_of(size.bytes, kModel, "active"), true},
            {"absent", orvella_bench::scene_of(size.bytes, "Trousers", "active"), false},
            {"unchanged", orvella_bench::scene_of(size.bytes, kModel, "loading"), false},
            {"references", with_references(orvella_bench::scene_of(size.bytes, "Trousers", "active")),
             false},
        };
        for (const auto& c : cases) {
            const std::string label = std::string(c.name) + "/" + size.name + "/";
            set_reply(c.scene.data(), c.scene.size());
            // One hand-off: an attempt before the measured one has seen the
            // same reply, as every attempt but the first has.
            orvella::ReplyMemory memory;
            bool confirmed = false;
            measure(label + "attempt",
                    [&] {
                        if (orvella::check_imported_model(request, ::getpid(), memory) != c.confirms)
                            wrong(label + "attempt answered wrong before the measured one");
                    },
                    [&] { confirmed = orvella::check_imported_model(request, ::getpid(), memory); });
            if (confirmed != c.confirms) wrong(label + "attempt answered wrong");
            measure(label + "parse", [] {},
                    [&] {
                        TiXmlDocument document;
                        document.Parse(c.scene.c_str());
                    });
        }
        // Before the screen every attempt copied the reply, parsed it and
        // searched it, in a new buffer each time.
        const std::string& never = cases[2].scene;
        measure(std::string("unscreened/") + size.name + "/attempt", [] {},
                [&] {
                    std::string reply = never.c_str();
                    if (orvella::reply_names_model(reply, kModel)) wrong("the loading set confirmed");
                });
        if (last_size != nullptr && std::strcmp(last_size, size.name) == 0) break;
    }
    return 0;
}
