// The stand-in host library as the plug-in and the tests meet it: what it
// records, what its export writes, and how requests from other threads
// reach the host's thread.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "sandbox_files.h"
#include "standins/garvento/standin_control.h"

using namespace orvella_test;

namespace {

// Counts its calls and remembers the last text.
class Recorder : public SvApiCallbackBase {
public:
    int OnCallback(SvApiGarmentId, intptr_t id, const char* data) override {
        ++calls;
        last_id = id;
        last_text = data;
        on_host_thread = std::this_thread::get_id() == host;
        return 7;
    }
    std::thread::id host = std::this_thread::get_id();
    int calls = 0;
    intptr_t last_id = -1;
    std::string last_text;
    bool on_host_thread = false;
};

class StandinHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(in_sandbox());
        standin::reset();
        standin::set_host_thread();
    }
};

}  // namespace

TEST_F(StandinHostTest, StringsAreFilledByGettersAndCountedUntilReleased) {
    standin::set_host_text("Garvento version = 7.1");
    SvApiString s = SvApiStringCreate();
    EXPECT_STREQ("", SvApiStringGet(s));
    EXPECT_EQ(SVAPI_OK, SvApiHostApplicationGet(s));
    EXPECT_STREQ("Garvento version = 7.1", SvApiStringGet(s));
    EXPECT_EQ(1u, standin::live_strings());
    SvApiStringRelease(s);
    EXPECT_EQ(0u, standin::live_strings());

    SvApiString name = SvApiStringCreate();
    EXPECT_EQ(-4, SvApiGarmentNameGet(standin::garment_id(3), name)) << "unknown garment";
    standin::set_garment(standin::garment_id(3), "Coat");
    EXPECT_EQ(SVAPI_OK, SvApiGarmentNameGet(standin::garment_id(3), name));
    EXPECT_STREQ("Coat", SvApiStringGet(name));
    SvApiStringRelease(name);
    SvApiStringRelease(name);  // a second release is recorded, not a crash
    EXPECT_EQ("not a live string", standin::plugin_calls().back().note);
}

TEST_F(StandinHostTest, ExportWritesTheGarmentFileOrRefusesTheOptions) {
    make_directories("/tmp/out");
    standin::set_garment(standin::garment_id(1), "Skirt");
    const std::string good =
        R"({"include_avatar":true,"layout":{"layout_uv":{}},"path":"/tmp/out/Skirt.fbx"})";
    EXPECT_EQ(SVAPI_OK, SvApiRenderExport3DObject(standin::garment_id(1), good.c_str()));
    EXPECT_NE(std::string::npos, read_file("/tmp/out/Skirt.fbx").find("\"Model::Skirt\", \"Mesh\""));

    struct Case { const char* options; int result; };
    const std::vector<Case> cases = {
        {"not json", -3},
        {R"({"include_avatar":"true","layout":{},"path":"/tmp/out/a.fbx"})", -3},
        {R"({"include_avatar":false,"path":"/tmp/out/a.fbx"})", -3},
        {R"({"include_avatar":false,"layout":{},"path":""})", -3},
        {R"({"include_avatar":false,"layout":{},"path":"/tmp/missing/a.fbx"})", -2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.result, SvApiRenderExport3DObject(standin::garment_id(1), c.options)) << c.options;
    }
    EXPECT_FALSE(exists("/tmp/out/a.fbx"));

    standin::set_export_result(-26);
    EXPECT_EQ(-26, SvApiRenderExport3DObject(standin::garment_id(1), good.c_str()));
    EXPECT_EQ(-4, (standin::set_export_result(SVAPI_OK),
                   SvApiRenderExport3DObject(standin::garment_id(9), good.c_str())));
}

TEST_F(StandinHostTest, MessageBoxesTakeTheScriptedAnswersInOrder) {
    const int kUnknownAnswer = 5;  // any answer the script gives is passed on
    standin::push_answer(SVAPI_ANSWER_CANCELLED);
    standin::push_answer(kUnknownAnswer);
    int answers[3] = {0, 0, 0};
    for (int& answer : answers) SvApiWndMessageBox("Go on?", SVAPI_BOX_CONFIRM, &answer);
    EXPECT_EQ(SVAPI_ANSWER_CANCELLED, answers[0]);
    EXPECT_EQ(kUnknownAnswer, answers[1]);
    EXPECT_EQ(SVAPI_ANSWER_OK, answers[2]) << "an empty queue answers OK";
    EXPECT_EQ("message box (confirm or cancel): \"Go on?\" (answer 2)",
              standin::transcript().front());
}

TEST_F(StandinHostTest, SessionRequestsFromAnyThreadReachTheHandlerOnTheHostThread) {
    Recorder handler;
    SvApiIdentifierSet("com.example.plugin");
    SvApiUpdateSessionFunctionSet_v2(&handler);
    EXPECT_EQ(-20, SvApiUpdateSessionFunctionRequest_v2("com.other", 1, "lost"));

    std::thread worker([] {
        std::string text = "Import failed with error: X";
        SvApiUpdateSessionFunctionRequest_v2("com.example.plugin", 1, text.c_str());
        text.assign(text.size(), '#');  // the host keeps its own copy
    });
    EXPECT_TRUE(standin::pump_until([] { return standin::delivered_requests() >= 1; },
                                    std::chrono::seconds(10)));
    worker.join();
    EXPECT_EQ(1, handler.calls);
    EXPECT_EQ(1, handler.last_id);
    EXPECT_EQ("Import failed with error: X", handler.last_text);
    EXPECT_TRUE(handler.on_host_thread);

    const std::vector<standin::Call> all = standin::calls();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ("session callback", all.back().function);
    EXPECT_EQ(7, all.back().result);
    bool request_seen_off_host_thread = false;
    for (const standin::Call& call : all) {
        if (call.function == "SvApiUpdateSessionFunctionRequest_v2" && call.result == SVAPI_OK)
            request_seen_off_host_thread = !call.host_thread;
    }
    EXPECT_TRUE(request_seen_off_host_thread);
    EXPECT_FALSE(standin::pump_until([] { return false; }, std::chrono::milliseconds(50)))
        << "the pump gives up at its deadline";
}

TEST_F(StandinHostTest, WindowsRouteEventsToTheirRegistrationsUntilClosed) {
    Recorder page;
    standin::set_next_window_handle(40);
    SvApiWindowHandle window = 0;
    EXPECT_EQ(SVAPI_OK, SvApiWndHTMLCreateUrl("/p.html", "T", "{}", 1, 2, 3, 4, &window));
    EXPECT_EQ(40u, window);
    EXPECT_EQ(SVAPI_OK, SvApiWndHTMLEventRegister(window, SVAPI_EVENT_PAGE_READY, &page, 0));
    EXPECT_EQ(-16, SvApiWndHTMLEventRegister(41, SVAPI_EVENT_PAGE_READY, &page, 0));
    EXPECT_EQ(-1, standin::raise_window_event(window, SVAPI_EVENT_PAGE_REPLY, "x"))
        << "nothing registered for replies";

    standin::post_window_event(window, SVAPI_EVENT_PAGE_READY, "ready");
    EXPECT_EQ(0, page.calls) << "posted events wait for the pump";
    EXPECT_EQ(1u, standin::pump());
    EXPECT_EQ(1, page.calls);
    EXPECT_EQ("ready", page.last_text);

    EXPECT_EQ(SVAPI_OK, SvApiWndHTMLMessageSend(window, "hello"));
    EXPECT_EQ(SVAPI_OK, SvApiWndHTMLClose(window));
    EXPECT_EQ(-16, SvApiWndHTMLMessageSend(window, "late"));
    EXPECT_EQ(-1, standin::raise_window_event(window, SVAPI_EVENT_PAGE_READY, ""));
    EXPECT_EQ(0u, standin::newest_open_window());
    const std::vector<standin::WindowState> all = standin::windows();
    ASSERT_EQ(1u, all.size());
    EXPECT_EQ(std::vector<std::string>{"hello"}, all[0].messages);
    EXPECT_FALSE(all[0].open);
}
