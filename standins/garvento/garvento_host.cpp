// The stand-in Garvento host program: loads a plug-in binary as the host
// does, runs the commands of its command line against it, and prints every
// host-visible event on its own line.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "standins/garvento/browser_window.h"
#include "standins/garvento/standin_control.h"

namespace {

const char kUsage[] =
    "usage: garvento --plugin PATH [OPTION|COMMAND]...\n"
    "options:\n"
    "  --host-text TEXT      the host application text (default {\"name\":\"Garvento\",\"version\":\"8.0.1\"})\n"
    "  --export-result CODE  the export service's result (default 0: the file is written)\n"
    "  --answer N            answer of the next message box (repeatable; later boxes answer 1)\n"
    "  --window-handle H     handle of the first HTML window (default 1)\n"
    "  --wait-requests N     at the end, deliver session requests until N have been delivered\n"
    "  --deadline SECONDS    how long the end waits at most (default 30; 3600 with --browser)\n"
    "  --browser             show HTML windows in a web browser: serve each on 127.0.0.1 and\n"
    "                        print its address (endpoints: standins/garvento/browser_window.h)\n"
    "  --port N              port of --browser (default 0: any free one)\n"
    "  --pages DIR           folder of the plug-in's pages for --browser (default: the plug-in's)\n"
    "At the end the host delivers queued session requests and events until\n"
    "--wait-requests are delivered, every exported file is gone again (the\n"
    "plug-in's hand-off deletes it) and, with --browser, every window is closed\n"
    "(exit 4 when the deadline passes first).\n"
    "commands, run in order on the host's thread after SvApiPluginInit:\n"
    "  render NAME           pick \"Render to Orvella\" on a garment named NAME\n"
    "  settings              pick \"Settings\"\n"
    "  menu ID               hand the menu object callback id ID (no garment)\n"
    "  event KIND TEXT       the newest open HTML window raises event KIND with TEXT\n"
    "  pump                  deliver the session requests and events queued now\n";

struct Command {
    std::string name;
    std::vector<std::string> args;
};

struct Options {
    std::string plugin;
    std::size_t wait_requests = 0;
    double deadline_seconds = 30;
    bool deadline_given = false;
    bool browser = false;
    int port = 0;
    std::string pages;
    std::vector<Command> commands;
};

void say(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

[[noreturn]] void usage_error(const std::string& why) {
    std::fprintf(stderr, "garvento: %s\n%s", why.c_str(), kUsage);
    std::exit(2);
}

long number(const std::string& text, const std::string& what) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0') usage_error(what + " must be a number, not '" + text + "'");
    return value;
}

// Options may stand anywhere; a command's arguments are the words after it,
// taken as they stand.
Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&](const std::string& what) -> std::string {
            if (i + 1 >= argc) usage_error(a + " needs " + what);
            return argv[++i];
        };
        if (a == "--plugin") options.plugin = next("a path");
        else if (a == "--host-text") standin::set_host_text(next("a text"));
        else if (a == "--export-result") standin::set_export_result(static_cast<int>(number(next("a code"), a)));
        else if (a == "--answer") standin::push_answer(static_cast<int>(number(next("a number"), a)));
        else if (a == "--window-handle") standin::set_next_window_handle(static_cast<SvApiWindowHandle>(number(next("a number"), a)));
        else if (a == "--wait-requests") options.wait_requests = static_cast<std::size_t>(number(next("a number"), a));
        else if (a == "--deadline") {
            options.deadline_seconds = static_cast<double>(number(next("seconds"), a));
            options.deadline_given = true;
        }
        else if (a == "--browser") options.browser = true;
        else if (a == "--port") options.port = static_cast<int>(number(next("a number"), a));
        else if (a == "--pages") options.pages = next("a folder");
        else if (a == "--help" || a == "-h") { std::fputs(kUsage, stdout); std::exit(0); }
        else if (a == "render") options.commands.push_back({a, {next("a garment name")}});
        else if (a == "settings" || a == "pump") options.commands.push_back({a, {}});
        else if (a == "menu") options.commands.push_back({a, {next("a callback id")}});
        else if (a == "event") {
            const std::string kind = next("a kind and a text");
            options.commands.push_back({a, {kind, next("a text")}});
        } else usage_error("unknown option or command '" + a + "'");
    }
    if (options.plugin.empty()) usage_error("--plugin PATH is required");
    return options;
}

void run(const std::vector<Command>& commands) {
    int garments = 0;
    for (const Command& c : commands) {
        if (c.name == "render") {
            SvApiGarmentId garment = standin::garment_id(++garments);
            standin::set_garment(garment, c.args[0]);
            say("garvento: garment " + std::to_string(garments) + " is \"" + c.args[0] + "\"");
            standin::pick_menu(0, garment);
        } else if (c.name == "settings") {
            standin::pick_menu(1, nullptr);
        } else if (c.name == "menu") {
            standin::pick_menu(number(c.args[0], "menu ID"), nullptr);
        } else if (c.name == "event") {
            const int kind = static_cast<int>(number(c.args[0], "event KIND"));
            const SvApiWindowHandle window = standin::newest_open_window();
            if (window == 0) say("garvento: no HTML window is open for the event");
            else standin::raise_window_event(window, kind, c.args[1]);
        } else if (c.name == "pump") {
            standin::pump();
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    standin::set_host_thread();
    standin::set_event_listener(say);
    const Options options = parse(argc, argv);

    say("garvento: loading " + options.plugin);
    standin::PluginLibrary plugin(options.plugin);
    if (!plugin.loaded()) {
        say("garvento: cannot load the plug-in: " + plugin.error());
        return 3;
    }
    const int registered = plugin.init();
    say("garvento: SvApiPluginInit returned " + std::to_string(registered) +
        (registered == 1 ? " (plug-in registered)" : " (plug-in refused the host)"));

    // Browser mode: the windows live in a browser; their events come in on
    // the server's threads and reach the plug-in through the pump below, on
    // this thread. The driver goes before the plug-in is unloaded.
    std::shared_ptr<standin::BrowserWindow> browser;
    struct DriverReset {
        ~DriverReset() { standin::set_window_driver(nullptr); }
    } driver_reset;
    double deadline_seconds = options.deadline_seconds;
    if (options.browser) {
        const std::string& p = options.plugin;
        const std::string pages = !options.pages.empty() ? options.pages
                                  : p.find('/') == std::string::npos ? std::string(".")
                                  : p.substr(0, p.rfind('/'));
        browser = std::make_shared<standin::BrowserWindow>(pages);
        std::string error;
        if (!browser->start(options.port, error)) {
            say("garvento: " + error);
            return 5;
        }
        browser->set_announce([](const std::string& line) { say("garvento: " + line); });
        standin::set_window_driver(browser);
        say("garvento: HTML windows are served at " + browser->address() + ", pages from " + pages);
        if (!options.deadline_given) deadline_seconds = 3600;
    }

    const std::size_t threads_before = standin::process_threads();
    run(options.commands);

    const auto timeout = std::chrono::milliseconds(static_cast<long long>(deadline_seconds * 1000));
    const std::size_t wanted = options.wait_requests;
    if (wanted > 0) say("garvento: waiting for " + std::to_string(wanted) + " session request(s)");
    if (browser && browser->any_open()) say("garvento: waiting until every window is closed");
    // A hand-off deletes its exported file when it is done, so a file left
    // means a worker is still at work: the plug-in must not go before it.
    const std::size_t handing_off = standin::exported_files_left().size();
    if (handing_off > 0)
        say("garvento: waiting for " + std::to_string(handing_off) +
            " hand-off(s) to remove their exported file");
    const bool done = standin::pump_until(
        [wanted, &browser] {
            return standin::delivered_requests() >= wanted && !(browser && browser->any_open()) &&
                   standin::exported_files_left().empty();
        },
        timeout);
    if (!done) {
        const std::size_t files_left = standin::exported_files_left().size();
        say("garvento: deadline passed with " + std::to_string(standin::delivered_requests()) + " of " +
            std::to_string(wanted) + " session request(s) delivered" +
            (browser && browser->any_open() ? " and a window open" : "") +
            (files_left ? ", " + std::to_string(files_left) + " exported file(s) left" : ""));
        return 4;
    }
    // A worker that deleted its file may still be on its way out (sending
    // its request, returning): give it a moment before the plug-in goes.
    if (!browser && !standin::pump_until([&] { return standin::process_threads() <= threads_before; },
                                         std::chrono::seconds(5)))
        say("garvento: a plug-in thread is still running");
    if (browser && !browser->wait_until_pages_heard_close(std::chrono::seconds(5)))
        say("garvento: a page did not hear that its window closed");
    say("garvento: done");
    return 0;
}
