// The live-link library the scene-search fuzzer and bench_poll_cost install:
// its query object attaches to any process and answers from memory with the
// reply set last. Loaded by the plug-in's real loader from the installation's
// path.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "src/importers/sceneapi/dev/orvella_live.h"

namespace {

std::string reply;

class FuzzQuery final : public orvella::QueryApi {
public:
    void reserved_0() override { std::abort(); }
    bool attach_process(std::int64_t) override { return true; }
    void reserved_2() override { std::abort(); }
    void reserved_3() override { std::abort(); }
    void reserved_4() override { std::abort(); }
    void reserved_5() override { std::abort(); }
    const char* scene_xml() override { return reply.c_str(); }
};

class FuzzLive final : public orvella::OrvellaLive {
public:
    void reserved_0() override { std::abort(); }
    void reserved_1() override { std::abort(); }
    void reserved_2() override { std::abort(); }
    orvella::QueryApi* query_api() override { return &query; }

private:
    FuzzQuery query;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) orvella::OrvellaLive* orvella_live_initialize() {
    static FuzzLive live;
    return &live;
}

// The text the next scene_xml() returns (it ends at its first NUL, as the
// library's C text does).
extern "C" __attribute__((visibility("default"))) void fuzz_live_link_set_reply(const char* data,
                                                                                std::size_t size) {
    reply.assign(data, size);
}
