// Stand-in for Orvella's live-link library. attach_process(pid) is true
// while that process runs and has published its scene; scene_xml() returns
// the published text, kept in the library until the next call. Like the real
// library its query object is one shared, stateful object: callers must
// serialise attach and read. A scene read by another thread than the one
// that attached is recorded in <dir>/interleaved, so a test sees a caller
// that did not.
//
// Built three ways: qororvellalive6.so and qororvellalive.so (the same
// library under both names), and a variant without orvella_live_initialize.
#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "scene_channel.h"
#include "src/importers/sceneapi/dev/orvella_live.h"

using namespace orvella_standin;

namespace {

[[noreturn]] void not_called(const char* entry) {
    std::fprintf(stderr, "stand-in live-link library: %s must not be called\n", entry);
    std::abort();
}

bool process_runs(long pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM); }

class StandinQuery final : public orvella::QueryApi {
public:
    void reserved_0() override { not_called("QueryApi entry 0"); }
    bool attach_process(std::int64_t process_id) override {
        // Selecting comes first, as in a library that then talks to the
        // renderer: another caller's selection may overwrite it meanwhile.
        attached_ = static_cast<long>(process_id);
        attacher_ = ::pthread_self();
        append_line(attached_path(), std::to_string(process_id));
        std::string scene;
        return process_runs(attached_) && read_whole_file(scene_path(attached_), scene);
    }
    void reserved_2() override { not_called("QueryApi entry 2"); }
    void reserved_3() override { not_called("QueryApi entry 3"); }
    void reserved_4() override { not_called("QueryApi entry 4"); }
    void reserved_5() override { not_called("QueryApi entry 5"); }
    const char* scene_xml() override {
        if (!::pthread_equal(attacher_, ::pthread_self()))
            append_line(interleaved_path(), "scene of " + std::to_string(attached_) +
                                                " read by a thread that did not attach it");
        if (attached_ <= 0 || !read_whole_file(scene_path(attached_), scene_)) return nullptr;
        return scene_.c_str();
    }

private:
    long attached_ = -1;
    pthread_t attacher_ {};
    std::string scene_;
};

class StandinLive final : public orvella::OrvellaLive {
public:
    void reserved_0() override { not_called("OrvellaLive entry 0"); }
    void reserved_1() override { not_called("OrvellaLive entry 1"); }
    void reserved_2() override { not_called("OrvellaLive entry 2"); }
    orvella::QueryApi* query_api() override {
        if (env_text("ORVELLA_STANDIN_QUERY_API", "") == "null") return nullptr;
        return &query_;
    }

private:
    StandinQuery query_;
};

}  // namespace

#ifndef ORVELLA_STANDIN_WITHOUT_INITIALIZE
extern "C" __attribute__((visibility("default"))) orvella::OrvellaLive* orvella_live_initialize() {
    if (env_text("ORVELLA_STANDIN_INITIALIZE", "") == "null") return nullptr;
    // Never destroyed: a host's detached hand-off may still be asking while
    // the process exits, as with the renderer's own library.
    alignas(StandinLive) static unsigned char storage[sizeof(StandinLive)];
    static StandinLive* const live = new (storage) StandinLive();
    return live;
}
#endif
