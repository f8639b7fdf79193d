#include "handoff/renderer_import.h"

#include <string.h>  // strnlen
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>

#include "handoff/renderer_import_for_testing.h"
#include "handoff/reply_screen.h"
#include "handoff/scene_search.h"
#include "src/importers/sceneapi/dev/orvellalive_loader.h"
#include "support/installation_finder.h"
#include "support/process_start.h"
#include "support/xml_input.h"

namespace orvella {
namespace {

constexpr int kLowestLaunched = 8;
constexpr int kHighestLaunched = 20;
// The normal builds whose live-link library the hand-off uses.
constexpr int kLowestLiveLink = 8;
constexpr int kHighestLiveLink = 9;
constexpr double kPollBudgetProcessorSeconds = 20.0;
// What clock() gives when the processor time is not available.
const std::clock_t kNoClock = static_cast<std::clock_t>(-1);
constexpr useconds_t kPollInterval = 1000 * 1000;

std::clock_t standard_clock() { return std::clock(); }
int standard_sleep(useconds_t microseconds) { return ::usleep(microseconds); }

std::atomic<std::clock_t (*)()> poll_clock{standard_clock};
std::atomic<int (*)(useconds_t)> poll_sleep{standard_sleep};

// True when the renderer has ended, reaping it. A renderer that is gone
// cannot take the model in, and polling it would only run out the budget,
// which on an idle host takes hours. ECHILD: someone reaped it already, the
// launch's own waitpid or a host that ignores SIGCHLD or waits for any child.
bool renderer_ended(pid_t pid) {
    int status = 0;
    const pid_t reaped = ::waitpid(pid, &status, WNOHANG);
    return reaped == pid || (reaped < 0 && errno == ECHILD);
}

}  // namespace

void set_poll_pace(PollPace pace) {
    poll_clock.store(pace.clock != nullptr ? pace.clock : standard_clock);
    poll_sleep.store(pace.sleep != nullptr ? pace.sleep : standard_sleep);
}

pid_t launch_orvella(const ImportRequest& request, const std::string& executable) {
    if (::access(executable.c_str(), R_OK) != 0) return -1;
    char import_flag[] = "-import";
    char* const arguments[4] = {const_cast<char*>(executable.c_str()), import_flag,
                                const_cast<char*>(request.path.c_str()), nullptr};
    const pid_t pid = start_process(arguments[0], arguments);
    if (pid < 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, WNOHANG);
    return pid;
}

bool check_imported_model(const ImportRequest& request, pid_t pid, ReplyMemory& memory) {
    std::string& reply = memory.reply();
    {
        // attach_process selects what scene_xml describes: nobody else may
        // attach until this reply is copied.
        LiveLinkLock lock;
        QueryApi* api = qor_get_query_api(lock, kLowestLiveLink, kHighestLiveLink);
        if (api == nullptr) return false;
        if (!api->attach_process(static_cast<std::int64_t>(pid))) return false;
        const char* text = api->scene_xml();
        if (text == nullptr) return false;
        // A reply too long to copy is not taken: its copies alone would
        // exceed what an attempt may take of the host's memory.
        const std::size_t size = ::strnlen(text, kMaxSceneReplyBytes + 1);
        if (size > kMaxSceneReplyBytes) return false;
        reply.assign(text, size);  // into the buffer kept from one reply to the next
    }
    // What the parse could not confirm is not parsed: the very reply the
    // last parse did not confirm, or one that cannot hold the name.
    if (memory.unchanged() || !reply_may_name(reply, request.name)) return false;
    memory.forget_last();
    if (reply_names_model(reply, request.name)) return true;
    memory.remember_unconfirmed();
    return false;
}

void import_into_orvella(ImportRequest& request) {
    const std::string executable =
        installation_finder().orvella_executable_path(kLowestLaunched, kHighestLaunched);
    if (executable.empty()) {
        request.status = kInstallationNotFound;
        return;
    }
    const pid_t pid = launch_orvella(request, executable);
    if (pid < 0) {
        request.status = kProcessNotCreated;
        return;
    }

    std::clock_t (*const clock)() = poll_clock.load();
    int (*const sleep)(useconds_t) = poll_sleep.load();
    const std::clock_t start = clock();
    double elapsed = 0.0;
    bool found = false;
    ReplyMemory memory;
    while (elapsed < kPollBudgetProcessorSeconds && !found) {
        found = check_imported_model(request, pid, memory);
        if (!found && renderer_ended(pid)) break;
        const std::clock_t now = clock();
        if (start == kNoClock || now == kNoClock) {
            // Without a processor clock the budget would never run out and
            // the worker would poll forever: count each attempt a second.
            elapsed += 1.0;
        } else {
            // Whole seconds of processor time, as counted by the host process.
            elapsed = static_cast<double>((now - start) / CLOCKS_PER_SEC);
        }
        sleep(kPollInterval);
    }
    if (!found) request.status = kImportNotConfirmed;
}

}  // namespace orvella
