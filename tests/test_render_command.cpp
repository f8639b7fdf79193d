// "Render to Orvella" up to the export, run on this thread as the host runs
// it, against the stand-in host library. Each case runs in a fresh sandbox,
// so the settings record (and its default directory) is built afresh.
#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "plugin/render_command.h"
#include "plugin/thread_starter_for_testing.h"
#include "host_calls.h"
#include "open_failure.h"
#include "sandbox_files.h"
#include "settings_test_files.h"
#include "standins/garvento/standin_control.h"

using namespace orvella;
using namespace orvella_test;

namespace {

const std::string kOrvellaTextures = "/tmp/orvella";
const std::string kDefault = kOrvellaTextures + "/Garvento";  // what the record derives
const char kOrvellaSettings[] =
    "<settings><folders><textures_default>/tmp/orvella</textures_default></folders></settings>\n";
const int kCancel = SVAPI_ANSWER_CANCELLED;

void store_preferences(const std::string& avatar, const std::string& dir) {
    write_file(kPreferences, preferences_file(avatar, dir));
}

// The "path" of the one export the render asked for, "" when none.
std::string exported_path() {
    const std::vector<standin::Call> exports = plugin_calls_named("SvApiRenderExport3DObject");
    if (exports.size() != 1) return "";
    const std::string& options = exports[0].args.at(1);
    const std::string key = "\"path\":\"";
    const std::size_t at = options.find(key);
    return at == std::string::npos ? "" : options.substr(at + key.size(), options.size() - at - key.size() - 2);
}

// The hand-offs the renders started, held instead of run, so that the
// exported files stay for the checks.
std::vector<std::function<void()>>& held_hand_offs() {
    static std::vector<std::function<void()>> bodies;
    return bodies;
}
void hold_hand_off(std::function<void()> body) { held_hand_offs().push_back(std::move(body)); }

class RenderCommand : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(in_sandbox());
        make_directories(kPreferencesDir);
        standin::reset();
        standin::set_host_thread();
        standin::set_garment(garment, "Skirt");
        held_hand_offs().clear();
        set_thread_starter(hold_hand_off);
    }
    void TearDown() override {
        set_thread_starter(nullptr);
        EXPECT_EQ(0u, standin::live_strings()) << "host strings leaked";
    }

    // Renders after forgetting the previous render's calls and removing
    // what its held hand-off would have deleted.
    int render() {
        for (const std::string& file : standin::exported_files_left()) std::remove(file.c_str());
        held_hand_offs().clear();
        standin::reset();
        standin::set_garment(garment, name);
        for (int answer : answers) standin::push_answer(answer);
        answers.clear();
        return render_to_orvella(garment);
    }

    SvApiGarmentId garment = standin::garment_id(5);
    std::string name = "Skirt";
    std::vector<int> answers;
};

}  // namespace

TEST_F(RenderCommand, ChoosesTheTexturesDirectory) {
    install_orvella_settings(9, kOrvellaSettings);
    make_directories("/tmp/tex");
    const std::string prompt =
        "1: The path /tmp/missing is invalid so the path " + kDefault + " will be used instead";
    struct Case {
        const char* name;
        std::string stored;            // TexturesDir ("" stores nothing)
        std::vector<int> answers;
        int result;
        std::string path;              // "" when nothing is exported
        std::vector<std::string> boxes;
    };
    const std::vector<Case> cases = {
        {"existing directory", "/tmp/tex", {}, SVAPI_CALLBACK_DONE, "/tmp/tex/Skirt.fbx", {}},
        {"trailing slash kept single", "/tmp/tex/", {}, SVAPI_CALLBACK_DONE, "/tmp/tex/Skirt.fbx",
         {}},
        {"nothing stored: the default, missing, without asking", "", {}, -2,
         kDefault + "/Skirt.fbx", {"0: Export failed with error: INTERNAL ERROR"}},
        {"missing and equal to the default: no prompt", kDefault, {}, -2, kDefault + "/Skirt.fbx",
         {"0: Export failed with error: INTERNAL ERROR"}},
        {"missing and different: cancel", "/tmp/missing", {kCancel}, SVAPI_CALLBACK_FAILED, "",
         {prompt}},
        {"missing and different: OK exports into the default", "/tmp/missing", {SVAPI_ANSWER_OK},
         -2, kDefault + "/Skirt.fbx", {prompt, "0: Export failed with error: INTERNAL ERROR"}},
        // "&#0;" stores a NUL after an existing directory's name; the host's
        // box shows the question up to that NUL.
        {"NUL reference after an existing directory: asked, cancel", "/tmp/tex&#0;junk",
         {kCancel}, SVAPI_CALLBACK_FAILED, "", {"1: The path /tmp/tex"}},
    };
    for (const Case& c : cases) {
        store_preferences("false", c.stored);
        answers = c.answers;
        EXPECT_EQ(c.result, render()) << c.name;
        EXPECT_EQ(c.path, exported_path()) << c.name;
        EXPECT_EQ(c.boxes, message_boxes()) << c.name;
        const bool done = c.result == SVAPI_CALLBACK_DONE;
        EXPECT_EQ(done, exists(c.path)) << c.name;
        EXPECT_EQ(done ? 1u : 0u, plugin_calls_named("SvApiUpdateSessionFunctionSet_v2").size())
            << c.name << ": the handler is registered only after a written export";
        EXPECT_EQ(done ? 1u : 0u, held_hand_offs().size())
            << c.name << ": a hand-off starts only after a written export";
        held_hand_offs().clear();
    }
    // Once the default exists, the same render succeeds there.
    make_directories(kDefault);
    store_preferences("false", "/tmp/missing");
    EXPECT_EQ(SVAPI_CALLBACK_DONE, render());
    EXPECT_TRUE(exists(kDefault + "/Skirt.fbx"));
}

TEST_F(RenderCommand, EmptyDefaultAndNothingStoredExportsAtTheRoot) {
    // No installation: the default directory is empty, and so is T.
    EXPECT_EQ(SVAPI_CALLBACK_DONE, render());
    EXPECT_EQ("/Skirt.fbx", exported_path());
    EXPECT_TRUE(message_boxes().empty());
}

TEST_F(RenderCommand, OptionTextCarriesTheStoredAvatarChoice) {
    make_directories("/tmp/tex");
    struct Case { const char* stored; const char* literal; };
    for (const Case& c : {Case{"true", "true"}, Case{"false", "false"}, Case{"yes", "false"}}) {
        store_preferences(c.stored, "/tmp/tex");
        // One read of the preferences file gives both values.
        EXPECT_EQ(1u, opens_of(kPreferences, [&] { EXPECT_EQ(SVAPI_CALLBACK_DONE, render()); }));
        const std::vector<standin::Call> exports = plugin_calls_named("SvApiRenderExport3DObject");
        ASSERT_EQ(1u, exports.size());
        EXPECT_EQ("5", exports[0].args.at(0)) << "the garment id is handed back unchanged";
        EXPECT_EQ(std::string("{\"include_avatar\":") + c.literal +
                      ",\"layout\":{\"layout_uv\":{\"piece\":\"per_piece_square\","
                      "\"export_inside\":true}},\"path\":\"/tmp/tex/Skirt.fbx\"}",
                  exports[0].args.at(1));
    }
}

TEST_F(RenderCommand, ExportErrorsShowTheirWordAndReturnTheCode) {
    make_directories("/tmp/tex");
    store_preferences("false", "/tmp/tex");
    // The user's own file: the export goes beside it, and a failed one
    // removes only the name it reserved.
    write_file("/tmp/tex/Skirt.fbx", "the user's own");
    struct Case { int code; const char* word; };
    for (const Case& c : {Case{-5, "GARMENT ID MISMATCH"}, Case{-27, "API NOT SUPPORTED"},
                          Case{3, "UNKNOWN"}, Case{-28, "UNKNOWN"}}) {
        standin::reset();
        standin::set_garment(garment, name);
        standin::set_export_result(c.code);
        EXPECT_EQ(c.code, render_to_orvella(garment));
        EXPECT_EQ(std::vector<std::string>{std::string("0: Export failed with error: ") + c.word},
                  message_boxes());
        EXPECT_TRUE(plugin_calls_named("SvApiUpdateSessionFunctionSet_v2").empty());
        EXPECT_EQ("/tmp/tex/Skirt 2.fbx", exported_path());
        EXPECT_FALSE(exists("/tmp/tex/Skirt 2.fbx")) << c.code;
        EXPECT_EQ("the user's own", read_file("/tmp/tex/Skirt.fbx")) << c.code;
    }
}

// The exclusive create fails before the system looks at the name, as it does
// in a process out of descriptors or memory: a name that may be the user's
// file is never exported to, and one that leads nowhere is exported to as
// into a folder that takes no new file.
TEST_F(RenderCommand, NameThatCannotBeReservedIsExportedToOnlyWhenNothingIsThere) {
    make_directories("/tmp/tex");
    store_preferences("false", "/tmp/tex");
    struct Case {
        int error;
        bool users_file;
        int result;
        std::string path;
        std::vector<std::string> boxes;
    };
    const std::vector<std::string> unknown = {"0: Export failed with error: UNKNOWN"};
    const std::vector<Case> cases = {
        {EMFILE, true, SVAPI_CALLBACK_FAILED, "", unknown},
        {ENFILE, true, SVAPI_CALLBACK_FAILED, "", unknown},
        {ENOMEM, true, SVAPI_CALLBACK_FAILED, "", unknown},
        {EMFILE, false, SVAPI_CALLBACK_DONE, "/tmp/tex/Skirt.fbx", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(std::strerror(c.error)) + (c.users_file ? ", the user's file" : ""));
        if (c.users_file) write_file("/tmp/tex/Skirt.fbx", "the user's own");
        fail_exclusive_creates(c.error);
        const int result = render();
        fail_exclusive_creates(0);
        EXPECT_EQ(c.result, result);
        EXPECT_EQ(c.path, exported_path());
        EXPECT_EQ(c.boxes, message_boxes());
        if (c.users_file) {
            EXPECT_EQ("the user's own", read_file("/tmp/tex/Skirt.fbx"));
        }
        EXPECT_EQ(std::vector<std::string>{"Skirt.fbx"}, folder_entries("/tmp/tex"));
        std::remove("/tmp/tex/Skirt.fbx");
    }
}

TEST_F(RenderCommand, EveryNameTakenExportsNothing) {
    make_directories("/tmp/tex");
    store_preferences("false", "/tmp/tex");
    write_file("/tmp/tex/Skirt.fbx", "the user's own");
    for (int number = 2; number <= 1000; ++number)
        write_file("/tmp/tex/Skirt " + std::to_string(number) + ".fbx", "");
    EXPECT_EQ(SVAPI_CALLBACK_FAILED, render());
    EXPECT_TRUE(plugin_calls_named("SvApiRenderExport3DObject").empty());
    EXPECT_EQ(std::vector<std::string>{"0: Export failed with error: UNKNOWN"}, message_boxes());
    EXPECT_EQ("the user's own", read_file("/tmp/tex/Skirt.fbx"));

    ::unlink("/tmp/tex/Skirt 1000.fbx");
    EXPECT_EQ(SVAPI_CALLBACK_DONE, render());
    EXPECT_EQ("/tmp/tex/Skirt 1000.fbx", exported_path());
}

TEST_F(RenderCommand, GarmentNameIsKeptAndNeverLeavesTheTexturesDirectory) {
    make_directories("/tmp/tex");
    store_preferences("false", "/tmp/tex");
    EXPECT_EQ("", current_garment_name()) << "empty before the first render";
    name = "../../x/y";
    make_directories("/x");
    EXPECT_EQ(SVAPI_CALLBACK_DONE, render());
    EXPECT_EQ("../../x/y", current_garment_name());
    EXPECT_EQ("/tmp/tex/.._.._x_y.fbx", exported_path());
    EXPECT_TRUE(exists("/tmp/tex/.._.._x_y.fbx"));
    EXPECT_FALSE(exists("/x/y.fbx"));
    EXPECT_NE(std::string::npos, read_file("/tmp/tex/.._.._x_y.fbx").find("\"Model::../../x/y\""))
        << "the model keeps the garment's own name";

    name = "Skirt 1/2";
    EXPECT_EQ(SVAPI_CALLBACK_DONE, render());
    EXPECT_EQ("Skirt 1/2", current_garment_name());
    EXPECT_EQ("/tmp/tex/Skirt 1_2.fbx", exported_path());
}

TEST_F(RenderCommand, CallsTheHostInOrder) {
    make_directories("/tmp/tex");
    store_preferences("true", "/tmp/tex");
    EXPECT_EQ(SVAPI_CALLBACK_DONE, render());
    std::vector<std::string> functions;
    for (const standin::Call& call : standin::plugin_calls()) functions.push_back(call.function);
    EXPECT_EQ((std::vector<std::string>{"SvApiStringCreate", "SvApiGarmentNameGet", "SvApiStringGet",
                                        "SvApiRenderExport3DObject",
                                        "SvApiUpdateSessionFunctionSet_v2", "SvApiStringRelease"}),
              functions);

    // A cancelled render releases the name's handle too.
    store_preferences("true", "/tmp/missing");
    answers = {kCancel};
    EXPECT_EQ(SVAPI_CALLBACK_FAILED, render());
    functions.clear();
    for (const standin::Call& call : standin::plugin_calls()) functions.push_back(call.function);
    EXPECT_EQ((std::vector<std::string>{"SvApiStringCreate", "SvApiGarmentNameGet", "SvApiStringGet",
                                        "SvApiWndMessageBox", "SvApiStringRelease"}),
              functions);
}

// The host cannot give the plug-in another thread: the command deletes the
// file no worker will take, tells the user, and the host goes on.
void refuse_thread(std::function<void()>) {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                            "thread constructor failed");
}

TEST_F(RenderCommand, NoThreadForTheHandOffLeavesNoFileAndSaysSo) {
    make_directories("/tmp/tex");
    store_preferences("false", "/tmp/tex");
    set_thread_starter(refuse_thread);
    EXPECT_EQ(SVAPI_CALLBACK_FAILED, render());
    EXPECT_EQ("/tmp/tex/Skirt.fbx", exported_path()) << "the export itself went through";
    EXPECT_FALSE(exists("/tmp/tex/Skirt.fbx"));
    EXPECT_EQ(std::vector<std::string>{"0: Import failed with error: UNKNOWN"}, message_boxes());
    EXPECT_EQ(0u, standin::queued_requests());

    set_thread_starter(hold_hand_off);
    EXPECT_EQ(SVAPI_CALLBACK_DONE, render()) << "the next render works again";
    EXPECT_TRUE(exists("/tmp/tex/Skirt.fbx"));
}

TEST(HandOffThread, HasTheSameStackOnEveryPlatform) {
    set_thread_starter(nullptr);
    // Shared with the detached thread, which may still be returning when the
    // test ends.
    auto below_entry = std::make_shared<std::promise<std::size_t>>();
    std::future<std::size_t> measured = below_entry->get_future();
    start_detached_thread([below_entry] {
        pthread_attr_t attributes;
        void* low = nullptr;
        std::size_t size = 0;
        if (::pthread_getattr_np(::pthread_self(), &attributes) == 0) {
            ::pthread_attr_getstack(&attributes, &low, &size);
            ::pthread_attr_destroy(&attributes);
        }
        const char* here = static_cast<const char*>(__builtin_frame_address(0));
        below_entry->set_value(low ? static_cast<std::size_t>(here - static_cast<const char*>(low)) : 0);
    });
    ASSERT_EQ(std::future_status::ready, measured.wait_for(std::chrono::seconds(20)));
    const std::size_t room = measured.get();
    // Linux would give 8 MiB, macOS 512 KiB.
    EXPECT_GE(room, kHandOffStackSize - 64 * 1024);
    EXPECT_LE(room, kHandOffThreadStack);
}
