// The stand-in host's browser window over plain HTTP, as a script (or the
// page's bridge) drives it: the real plug-in behind it, the HTTP server's
// threads only queueing, and every plug-in call made on the host's thread.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>

#include "plugin/garvento_menu.h"
#include "sandbox_files.h"
#include "settings_test_files.h"
#include "standins/garvento/browser_window.h"
#include "standins/garvento/standin_control.h"

using namespace orvella_test;

namespace {

const std::chrono::milliseconds kDeadline(10000);

std::string folder_of(const std::string& path) { return path.substr(0, path.rfind('/')); }

// Sends `request` as it stands and returns the status line of the answer,
// or "" when none came within five seconds.
std::string raw_status_line(int port, const std::string& request) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return "";
    timeval limit{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size())) {
        char buffer[256];
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got > 0) answer.assign(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return answer.substr(0, answer.find("\r\n"));
}

class BrowserWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(in_sandbox());
        make_directories("/home/tester/Library/Preferences");
        make_directories("/tmp/textures");
        browser_ = std::make_shared<standin::BrowserWindow>(folder_of(ORVELLA_PLUGIN_PATH));
        std::string error;
        ASSERT_TRUE(browser_->start(0, error)) << error;
        browser_->set_announce([this](const std::string& line) { announced_ = line; });
        standin::set_window_driver(browser_);
        plugin_ = std::make_unique<standin::PluginLibrary>(ORVELLA_PLUGIN_PATH);
        ASSERT_TRUE(plugin_->loaded()) << plugin_->error();
        ASSERT_EQ(SVAPI_PLUGIN_REGISTERED, plugin_->init());
        ASSERT_EQ(SVAPI_CALLBACK_DONE, standin::pick_menu(orvella::kSettings, nullptr));
        window_ = "/window/" + std::to_string(standin::newest_open_window()) + "/";
        client_ = std::make_unique<httplib::Client>("127.0.0.1", browser_->port());
    }

    void TearDown() override { standin::set_window_driver(nullptr); }

    // POSTs to the window and waits until the host thread has delivered it.
    int post(const std::string& what, const std::string& body) {
        const std::size_t before = standin::calls().size();
        auto res = client_->Post((window_ + what).c_str(), body, "text/plain");
        if (!res) return -1;
        if (res->status == 204) {
            EXPECT_TRUE(standin::pump_until(
                [&] { return standin::calls().size() > before; }, kDeadline))
                << what << " never reached the plug-in";
        }
        return res->status;
    }

    // The next thing the host did to the window after `after`: "TYPE:text".
    std::string next(long& after) {
        auto res = client_->Get((window_ + "next?after=" + std::to_string(after)).c_str());
        if (!res || res->status != 200) return "<no answer>";
        after = std::stol(res->get_header_value("X-Seq"));
        return res->get_header_value("X-Type") + ":" + res->body;
    }

    std::shared_ptr<standin::BrowserWindow> browser_;
    std::unique_ptr<standin::PluginLibrary> plugin_;
    std::unique_ptr<httplib::Client> client_;
    std::string window_;
    std::string announced_;
};

}  // namespace

TEST_F(BrowserWindowTest, ServesThePageWithTheBridge) {
    EXPECT_EQ("window 1 \"Orvella Settings\" at " + browser_->address() + "/window/1/settings.html",
              announced_);
    auto page = client_->Get("/window/1/settings.html");
    ASSERT_TRUE(page);
    EXPECT_EQ(200, page->status);
    EXPECT_EQ(read_file(folder_of(ORVELLA_PLUGIN_PATH) + "/settings.html").size() +
                  std::string("<script src=\"/window/1/bridge.js\"></script>").size(),
              page->body.size());
    EXPECT_NE(std::string::npos, page->body.find("<head><script src=\"/window/1/bridge.js\"></script>"));

    auto bridge = client_->Get("/window/1/bridge.js");
    ASSERT_TRUE(bridge);
    EXPECT_EQ(200, bridge->status);
    EXPECT_NE(std::string::npos, bridge->body.find("window.svHost = host"));
    EXPECT_NE(std::string::npos, bridge->body.find("\"/window/1/\""));

    struct Case { const char* path; int status; } cases[] = {
        {"/window/2/settings.html", 404},   // no such window
        {"/window/1/other.html", 404},      // not the window's page
        {"/window/1/../plugin/settings.html", 404},
        {"/settings.html", 404},
    };
    for (const Case& c : cases) {
        auto res = client_->Get(c.path);
        ASSERT_TRUE(res) << c.path;
        EXPECT_EQ(c.status, res->status) << c.path;
    }
}

// What the window's events do to the settings is the settings window's
// own (test_settings_window.cpp); over HTTP they add the status codes, the
// kinds of what the host did, and the host's thread.
TEST_F(BrowserWindowTest, EventsAnswerWithStatusCodesAndRunOnTheHostThread) {
    long after = 0;
    EXPECT_EQ(204, post("ready", ""));
    EXPECT_EQ("message:false:", next(after)) << "no installation: no default";
    EXPECT_EQ(204, post("reply", "true:/tmp/missing"));
    EXPECT_EQ("notice:Textures directory must be an exisiting directory", next(after));
    EXPECT_TRUE(browser_->any_open());

    // A reply's bytes pass unchanged, ":" and all.
    make_directories("/tmp/a:b \xc3\xa9");
    EXPECT_EQ(204, post("reply", "false:/tmp/a:b \xc3\xa9"));
    EXPECT_EQ("closed:", next(after));
    EXPECT_EQ("closed:", next(after)) << "asked again, a closed window stays closed";
    EXPECT_NE(std::string::npos, read_file(kPreferences).find("<TexturesDir>/tmp/a:b \xc3\xa9</"));
    EXPECT_FALSE(browser_->any_open());
    EXPECT_EQ(410, post("ready", "")) << "a closed window raises no events";
    EXPECT_EQ(410, post("reply", ""));

    // A page loaded after the close hears at once that it is closed.
    auto bridge = client_->Get((window_ + "bridge.js").c_str());
    ASSERT_TRUE(bridge);
    after = std::stol(bridge->body.substr(bridge->body.find("let after = ") + 12));
    EXPECT_EQ("closed:", next(after));

    // The plug-in was only ever called, and only called the host, on the
    // host's thread, though every event came in on a server thread.
    for (const standin::Call& call : standin::calls())
        EXPECT_TRUE(call.host_thread) << call.function;
}

TEST_F(BrowserWindowTest, ReadyNeedsNoBody) {
    // What "curl -X POST .../ready" sends: no body and no length.
    EXPECT_EQ("HTTP/1.1 204 No Content",
              raw_status_line(browser_->port(), "POST " + window_ + "ready HTTP/1.1\r\n"
                                                "Host: 127.0.0.1\r\nConnection: close\r\n\r\n"));
    long after = 0;
    ASSERT_TRUE(standin::pump_until([] { return !standin::windows().at(0).messages.empty(); },
                                    kDeadline));
    EXPECT_EQ("message:false:", next(after));
}
