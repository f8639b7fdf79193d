// Stand-in for the Orvella renderer: started as `orvella -import FILE`, it
// records its command line, the descriptors and the signal state it was
// started with, "imports" FILE by publishing a scene that holds a
// model of the name found in FILE, stays up for a while and withdraws its
// scene when it ends. The environment variables listed in CMakeLists.txt
// choose the behaviour a test needs.
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>

#include "scene_channel.h"

using namespace orvella_standin;

namespace {

volatile std::sig_atomic_t stop_requested = 0;
void request_stop(int) { stop_requested = 1; }

// The model's name: what the export wrote after "Model::" (up to the closing
// quote), else the file's first line, else the file's name without extension.
std::string model_name(const std::string& file) {
    std::string text;
    if (read_whole_file(file, text)) {
        const std::string marker = "\"Model::";
        const size_t at = text.find(marker);
        if (at != std::string::npos) {
            const size_t begin = at + marker.size();
            const size_t end = text.find('"', begin);
            if (end != std::string::npos) return text.substr(begin, end - begin);
        }
        const std::string first = text.substr(0, text.find('\n'));
        if (!first.empty()) return first;
    }
    const size_t slash = file.rfind('/');
    std::string base = slash == std::string::npos ? file : file.substr(slash + 1);
    return base.substr(0, base.rfind('.'));
}

std::string xml_escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

// A scene whose model element sits at `depth` (the root is level 1), inside
// a model set carrying `modelset` when there is room for one (depth >= 3).
// An unrelated model keeps the search honest about which element matched.
std::string scene_text(const std::string& name, const std::string& modelset, long depth,
                       bool with_model, long deep_branch) {
    if (depth < 1) depth = 1;
    const std::string model = "<model name=\"" + xml_escaped(name) + "\" file=\"imported\"/>";
    if (!with_model) return "<scene name=\"stand-in\"><set modelset=\"active\"><model name=\"Camera\"/></set></scene>";
    if (depth == 1) return "<model name=\"" + xml_escaped(name) + "\"/>";
    std::string scene = "<scene name=\"stand-in\"><model name=\"Camera\"/>";
    long level = 2;
    if (depth >= 3) {
        scene += "<set modelset=\"" + xml_escaped(modelset) + "\">";
        ++level;
    }
    const long groups = depth - level;
    for (long i = 0; i < groups; ++i) scene += "<group>";
    scene += model;
    for (long i = 0; i < groups; ++i) scene += "</group>";
    if (depth >= 3) scene += "</set>";
    // An unrelated branch after the model's, its deepest element at level
    // deep_branch.
    for (long i = 1; i < deep_branch; ++i) scene += "<group>";
    for (long i = 1; i < deep_branch; ++i) scene += "</group>";
    return scene + "</scene>";
}

// The descriptors open in this process, one number a line; read before it
// opens any of its own, so they are what it was started with.
std::string open_descriptors() {
    std::string list;
    DIR* const folder = ::opendir("/proc/self/fd");
    if (folder == nullptr) return list;
    const std::string own = std::to_string(::dirfd(folder));
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != ".." && name != own) list += name + "\n";
    }
    ::closedir(folder);
    return list;
}

// The blocked and ignored signals, as the kernel shows them; read before
// this process sets a handler of its own.
std::string signal_state() {
    std::string status;
    if (!read_whole_file("/proc/self/status", status)) return "";
    std::string lines;
    for (const char* key : {"SigBlk:", "SigIgn:"}) {
        const size_t at = status.find(key);
        if (at != std::string::npos) lines += status.substr(at, status.find('\n', at) + 1 - at);
    }
    return lines;
}

void pause_ms(long ms) {
    // Waking every 10 ms keeps a stop request prompt.
    for (long waited = 0; waited < ms && !stop_requested; waited += 10) ::usleep(10 * 1000);
}

}  // namespace

int main(int argc, char** argv) {
    const long pid = static_cast<long>(::getpid());
    const std::string descriptors = open_descriptors();
    const std::string signals = signal_state();
    ::mkdir(channel_directory().c_str(), 0777);
    publish_file(descriptors_path(pid), descriptors);
    publish_file(signals_path(pid), signals);

    std::string command_line;
    for (int i = 0; i < argc; ++i) command_line.append(argv[i]).push_back('\0');
    publish_file(command_line_path(pid), command_line);

    std::signal(SIGTERM, request_stop);
    std::signal(SIGINT, request_stop);

    if (argc != 3 || std::string(argv[1]) != "-import") return 2;

    pause_ms(env_number("ORVELLA_STANDIN_IMPORT_DELAY_MS", 0));
    const std::string reply = env_text("ORVELLA_STANDIN_REPLY", "scene");
    std::string scene;
    if (reply == "empty") {
        scene = "";
    } else if (reply == "malformed") {
        // Cut off inside the model's name attribute.
        scene = "<scene name=\"stand-in\"><set modelset=\"active\"><model name=\"" +
                xml_escaped(model_name(argv[2]));
    } else {
        scene = scene_text(model_name(argv[2]), env_text("ORVELLA_STANDIN_MODELSET", "active"),
                           env_number("ORVELLA_STANDIN_DEPTH", 3), reply != "never",
                           env_number("ORVELLA_STANDIN_DEEP_BRANCH", 0));
    }
    if (!stop_requested) publish_file(scene_path(pid), scene);

    pause_ms(env_number("ORVELLA_STANDIN_LIFETIME_MS", 60 * 1000));
    ::unlink(scene_path(pid).c_str());
    return 0;
}
