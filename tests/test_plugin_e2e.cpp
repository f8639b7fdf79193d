// The built plug-in binary in a host: loaded with dlopen by the stand-in host
// library (and, for whole sessions, by the stand-in garvento program), as
// Garvento loads it; the macOS dylib through the Mac's loader stand-in.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "plugin/garvento_menu.h"
#include "sandbox_files.h"
#include "settings_test_files.h"
#include "standins/garvento/standin_control.h"
#if ORVELLA_MACOS_RUN
#include <cstring>

#include "macos_abi/macho_abi.h"
#include "standins/macos/macos_loader.h"
#include "standins/macos/macos_loader_for_testing.h"
#endif

using namespace orvella_test;

namespace {

const char kHostText[] = R"({"name":"Garvento","version":"8.0.1"})";

// A call as "Function(arg, arg)", for comparing whole sequences.
std::vector<std::string> call_lines() {
    std::vector<std::string> lines;
    for (const standin::Call& call : standin::plugin_calls()) {
        std::string line = call.function + "(";
        for (std::size_t i = 0; i < call.args.size(); ++i) line += (i ? ", " : "") + call.args[i];
        lines.push_back(line + ")");
    }
    return lines;
}

struct CommandRun {
    int status = -1;
    std::string output;
};

// Runs a command line and collects its standard output.
CommandRun run(const std::string& command) {
    CommandRun result;
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, got);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string garvento(const std::string& arguments) {
    return std::string(ORVELLA_GARVENTO_PATH) + " --plugin " + ORVELLA_PLUGIN_PATH + " " + arguments;
}

bool has_line(const std::string& output, const std::string& line) {
    return ("\n" + output).find("\n" + line + "\n") != std::string::npos;
}

class PluginInHost : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(in_sandbox());
        standin::reset();
        standin::set_host_thread();
        plugin = std::make_unique<standin::PluginLibrary>(ORVELLA_PLUGIN_PATH);
        ASSERT_TRUE(plugin->loaded()) << plugin->error();
    }
    std::unique_ptr<standin::PluginLibrary> plugin;
};

}  // namespace

TEST_F(PluginInHost, RegistersItselfInOrder) {
    EXPECT_EQ(SVAPI_PLUGIN_REGISTERED, plugin->init());
    EXPECT_EQ((std::vector<std::string>{
                  "SvApiStringCreate()",
                  std::string("SvApiHostApplicationGet(") + kHostText + ")",
                  std::string("SvApiStringGet(") + kHostText + ")",
                  std::string("SvApiStringRelease(") + kHostText + ")",
                  "SvApiIdentifierSet(com.stavlin.orvellaplugin)",
                  "SvApiPluginNameSet(Orvella)",
                  "SvApiMenuFunctionAdd(Render to Orvella, object#1, 0)",
                  "SvApiMenuFunctionAdd(Settings, object#1, 1)",
                  "SvApiMenuFunctionReloadAdd()",
              }),
              call_lines());
    EXPECT_EQ(0u, standin::live_strings());
}

TEST_F(PluginInHost, RefusedHostsHearNothingAfterTheVersion) {
    for (const char* text : {R"({"version":"9.0"})", R"({"version":"8.1"})", R"({"version":"0"})",
                             "Garvento version", R"({"version":"beta"})"}) {
        standin::reset();
        standin::set_host_text(text);
        EXPECT_EQ(SVAPI_PLUGIN_REFUSED, plugin->init()) << text;
        EXPECT_EQ((std::vector<std::string>{"SvApiStringCreate()",
                                            std::string("SvApiHostApplicationGet(") + text + ")",
                                            std::string("SvApiStringGet(") + text + ")",
                                            std::string("SvApiStringRelease(") + text + ")"}),
                  call_lines())
            << text;
        EXPECT_TRUE(standin::menu_entries().empty());
    }
}

TEST_F(PluginInHost, MenuIdsBeyondTheTwoDoNothing) {
    ASSERT_EQ(SVAPI_PLUGIN_REGISTERED, plugin->init());
    for (intptr_t id : {intptr_t(2), intptr_t(-1), intptr_t(7), intptr_t(1) << 40}) {
        standin::clear_calls();
        EXPECT_EQ(SVAPI_CALLBACK_FAILED, standin::pick_menu(id, standin::garment_id(1))) << id;
        EXPECT_TRUE(call_lines().empty()) << id;
    }
}

// A window driver whose windows never open.
class RefusingDriver : public standin::WindowDriver {
public:
    int on_create(const standin::WindowRequest&) override { return -7; }
};

TEST_F(PluginInHost, SettingsEntryReturnsZeroWhateverTheWindowDoes) {
    ASSERT_EQ(SVAPI_PLUGIN_REGISTERED, plugin->init());
    EXPECT_EQ(SVAPI_CALLBACK_DONE, standin::pick_menu(orvella::kSettings, nullptr));
    ASSERT_EQ(1u, standin::windows().size());
    EXPECT_EQ("/settings.html", standin::windows()[0].request.page);

    standin::clear_calls();
    standin::set_window_driver(std::make_shared<RefusingDriver>());
    EXPECT_EQ(SVAPI_CALLBACK_DONE, standin::pick_menu(orvella::kSettings, nullptr));
    EXPECT_EQ(1u, standin::windows().size()) << "no second window";
    standin::set_window_driver(nullptr);
}

TEST(PluginBinary, ExportsOnlyItsEntryPoint) {
    const CommandRun symbols = run(std::string("nm -D --defined-only ") + ORVELLA_PLUGIN_PATH);
    ASSERT_EQ(0, symbols.status) << symbols.output;
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < symbols.output.size()) {
        std::size_t end = symbols.output.find('\n', start);
        if (end == std::string::npos) end = symbols.output.size();
        const std::string line = symbols.output.substr(start, end - start);
        if (!line.empty()) names.push_back(line.substr(line.rfind(' ') + 1));
        start = end + 1;
    }
    EXPECT_EQ(std::vector<std::string>{"SvApiPluginInit"}, names);
}

#if ORVELLA_MACOS_RUN
// An allocation failing inside the entry becomes std::bad_alloc in the
// dylib's code, thrown through its own unwind tables to the entry's guard:
// the host sees the failure value, the host's version text is released by a
// cleanup on the way out, and the next call works. Each allocation in turn.
TEST_F(PluginInHost, DylibAllocationFailureIsCaughtInsideTheEntry) {
    unsigned thrown = 0;
    for (unsigned n = 1; n <= 64; ++n) {
        standin::reset();
        macos_fail_allocation_after(n);
        const int result = plugin->init();
        macos_fail_allocation_after(0);
        if (result == SVAPI_PLUGIN_REGISTERED) break;
        ++thrown;
        EXPECT_EQ(SVAPI_PLUGIN_REFUSED, result) << n;
        EXPECT_TRUE(standin::menu_entries().empty()) << n;
        EXPECT_EQ(0u, standin::live_strings()) << n;
        standin::reset();
        EXPECT_EQ(SVAPI_PLUGIN_REGISTERED, plugin->init()) << "after allocation " << n << " failed";
    }
    EXPECT_GE(thrown, 1u);
}

// The dylib's counterpart: a copy with one thing changed is refused by the
// Mac's loader stand-in with the reason named, never run and never a crash.
TEST(PluginBinary, LoaderRefusesWhatItCannotRunByName) {
    const std::string dylib = read_file(ORVELLA_PLUGIN_PATH);
    ASSERT_GT(dylib.size(), std::size_t{MACOS_SIZEOF_MACH_HEADER_64});
    const auto patched = [&](std::size_t at, std::uint32_t value) {
        std::string copy = dylib;
        std::memcpy(&copy[at], &value, sizeof value);
        return copy;
    };
    const auto renamed = [&](const std::string& from, const std::string& to) {
        std::string copy = dylib;
        const std::size_t at = copy.find(from + '\0');
        if (at != std::string::npos) copy.replace(at, from.size(), to);
        return copy;
    };
    const std::size_t first_command = MACOS_SIZEOF_MACH_HEADER_64 + MACOS_OFFSETOF_LOAD_COMMAND_cmd;
    const struct {
        const char* name;
        std::string file;
        std::string reason;
    } cases[] = {
        {"another CPU", patched(MACOS_OFFSETOF_MACH_HEADER_64_cputype, 0x12345),
         "built for CPU type 0x12345, not CPU_TYPE_X86_64"},
        {"not a dylib", patched(MACOS_OFFSETOF_MACH_HEADER_64_filetype, MACOS_MH_DYLIB + 1), "not a dylib"},
        {"chained fixups", patched(first_command, MACOS_LC_DYLD_CHAINED_FIXUPS),
         "load command LC_DYLD_CHAINED_FIXUPS is not supported"},
        {"an import without a shim", renamed("_strnlen", "_strnlex"), "no shim for _strnlex"},
        {"a host function missing", renamed("_SvApiGarmentNameGet", "_SvApiGarmentNameGex"),
         "no host symbol SvApiGarmentNameGex"},
        {"cut in its load commands", dylib.substr(0, 1000), "load commands run past the end of the file"},
        {"cut in its segments", dylib.substr(0, dylib.size() / 2), "lies beyond the end of the file"},
        {"not Mach-O", "#!/bin/sh\n", "not a Mach-O file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        write_file("/tmp/copy.dylib", c.file);
        EXPECT_EQ(nullptr, macos_dlopen("/tmp/copy.dylib"));
        const char* why = macos_dlerror();
        ASSERT_NE(nullptr, why);
        EXPECT_NE(std::string::npos, std::string(why).find(c.reason)) << why;
        EXPECT_EQ(nullptr, macos_dlerror()) << "the reason is given once";
    }
}
#endif

TEST(GarventoProgram, RendersAndReportsAFailedExport) {
    ASSERT_TRUE(in_sandbox());
    make_directories(kPreferencesDir);
    make_directories("/tmp/tex");
    write_file(kPreferences, preferences_file("false", "/tmp/tex"));

    const CommandRun good = run(garvento("render Dress"));
    EXPECT_EQ(0, good.status) << good.output;
    EXPECT_TRUE(has_line(good.output, "menu entry added: \"Render to Orvella\" (callback id 0, object#1)"))
        << good.output;
    EXPECT_TRUE(has_line(good.output, "garvento: SvApiPluginInit returned 1 (plug-in registered)"));
    EXPECT_TRUE(has_line(good.output,
                         "export of garment 1 with options {\"include_avatar\":false,\"layout\":{"
                         "\"layout_uv\":{\"piece\":\"per_piece_square\",\"export_inside\":true}},"
                         "\"path\":\"/tmp/tex/Dress.fbx\"} -> 0 (wrote /tmp/tex/Dress.fbx)"))
        << good.output;
    EXPECT_TRUE(has_line(good.output, "session handler set: object#2")) << good.output;
    EXPECT_TRUE(has_line(good.output, "host: menu pick of callback id 0 on garment 1 -> plug-in returned 0"));

    const CommandRun failed = run(garvento("--export-result -26 render Dress"));
    EXPECT_EQ(0, failed.status) << failed.output;
    EXPECT_TRUE(has_line(failed.output,
                         "message box (notice): \"Export failed with error: NO SNAPSHOT AVAILABLE. THE "
                         "AVATAR MUST BE DRESSED BEFORE THE GARMENT CAN BE TRANSFERED TO ORVELLA\" "
                         "(answer 1)"))
        << failed.output;
    EXPECT_TRUE(has_line(failed.output, "host: menu pick of callback id 0 on garment 1 -> plug-in returned -26"));
    EXPECT_EQ(std::string::npos, failed.output.find("session handler set"));

    const CommandRun refused = run(garvento("--host-text '{\"version\":\"9.0\"}' render Dress"));
    EXPECT_TRUE(has_line(refused.output, "garvento: SvApiPluginInit returned 0 (plug-in refused the host)"))
        << refused.output;
}

// Whatever lies at the paths of Orvella's settings file and of the
// preferences file, the plug-in registers and renders; what it cannot read
// as a regular file of plausible size, or parse without nesting too deep,
// reads as a missing file. (The settings store's own tests put the other
// kinds of file at the preferences path.)
TEST(GarventoProgram, UnreadableFilesReadAsMissing) {
    ASSERT_TRUE(in_sandbox());
    const std::string settings_file = support_folder(9) + "OV9Settings.xml";
    const std::string orvella_default = "/tmp/orvella/Garvento";
    const std::function<void(const std::string&)> folder = make_directories;
    const std::function<void(const std::string&)> fifo = [](const std::string& path) {
        ASSERT_EQ(0, ::mkfifo(path.c_str(), 0644));
    };
    // 60,000 levels (420 KB) below values either file would give.
    const std::function<void(const std::string&)> deep = [](const std::string& path) {
        write_file(path, "<r><TexturesDir>/tmp/elsewhere</TexturesDir><folders><textures_default>"
                         "/tmp/elsewhere</textures_default></folders>" +
                             nested_elements(60000) + "</r>");
    };
    struct Case {
        std::string path;                              // replaced by
        std::function<void(const std::string&)> make;  // this
        std::string exported;                          // the folder the render exports into
    };
    const std::vector<Case> cases = {
        {settings_file, folder, "/tmp/tex"},
        {settings_file, fifo, "/tmp/tex"},
        {settings_file, deep, "/tmp/tex"},
        {kPreferences, deep, orvella_default},
    };
    make_directories("/tmp/tex");
    make_directories(orvella_default);
    make_directories("/tmp/elsewhere");
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE("row " + std::to_string(i) + ": " + c.path);
        install_orvella_settings(9, "<s><folders><textures_default>/tmp/orvella</textures_default>"
                                    "</folders></s>");
        write_file(kPreferences, kDeclaration + "<r><TexturesDir>/tmp/tex</TexturesDir></r>\n");
        remove_tree(c.path);
        c.make(c.path);
        const CommandRun session = run(garvento("render Dress"));
        EXPECT_EQ(0, session.status) << session.output;
        EXPECT_TRUE(has_line(session.output, "garvento: SvApiPluginInit returned 1 (plug-in registered)"))
            << session.output;
        EXPECT_NE(std::string::npos, session.output.find("-> 0 (wrote " + c.exported + "/Dress.fbx)"))
            << session.output;
        remove_tree(c.path);
    }
}
