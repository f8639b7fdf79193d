#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "orvella_standin.h"
#include "sandbox_files.h"
#include "src/importers/sceneapi/dev/orvellalive_loader.h"

using namespace orvella;
using namespace orvella_test;

namespace {

// One log line of the loader: level name and message.
struct Line {
    std::string level;
    std::string message;
    bool operator==(const Line& other) const {
        return level == other.level && message == other.message;
    }
    bool operator!=(const Line& other) const { return !(*this == other); }
};

std::ostream& operator<<(std::ostream& out, const Line& line) {
    return out << line.level << ":  " << line.message;
}

std::string pointer_text(const void* pointer) {
    std::ostringstream text;
    text << pointer;
    return text.str();
}

const std::string kNull = pointer_text(nullptr);
const std::string kEntry = "qor_get_query_api -> orvella_live_loader: ";

Line entry_line(const std::string& pointer = kNull) { return {"DEBUG4", kEntry + pointer}; }
Line open_line(const std::string& path) { return {"DEBUG", "shared_library_open: " + path}; }
Line no_handle_line() { return {"WARNING", "NO shared handle"}; }
Line live_line(const std::string& pointer) { return {"DEBUG4", "Orvella live: " + pointer}; }

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(in_sandbox());
        ::unsetenv("ORVELLA_STANDIN_INITIALIZE");
        ::unsetenv("ORVELLA_STANDIN_QUERY_API");
    }

    // Installs the bundle and the support folder that holds the log.
    void install(int version, bool floating, LiveLibrary library) {
        install_standin(version, floating, library);
        log_path = "/Library/Application Support/Orvella" + std::to_string(version) +
                   "//sceneapi.log";
        make_directories("/Library/Application Support/Orvella" + std::to_string(version));
    }

    QueryApi* request() {
        LiveLinkLock lock;
        return qor_get_query_api(lock, 8, 9);
    }

    // The lines written since the last call, every one from the loader's file.
    std::vector<Line> new_lines() {
        const std::string text = read_file(log_path);
        std::istringstream lines(text.substr(consumed));
        consumed = text.size();
        const std::regex layout(
            "orvellalive_loader\\.cpp:[0-9]+ - [0-9:]{8}\\.[0-9]{3} ([A-Z0-9]+):  (.*)");
        std::vector<Line> result;
        for (std::string line; std::getline(lines, line);) {
            std::smatch parts;
            EXPECT_TRUE(std::regex_match(line, parts, layout)) << line;
            result.push_back({parts[1], parts[2]});
        }
        return result;
    }

    std::string log_path;
    std::string::size_type consumed = 0;
};

const std::string kNine = "/Applications/Orvella9.app/Contents/MacOS//qororvellalive6.so";

}  // namespace

TEST_F(LoaderTest, LoadsOnceAndAsksForTheQueryInterfaceEveryTime) {
    install(9, false, LiveLibrary::standin);
    QueryApi* api = request();
    ASSERT_NE(nullptr, api);
    const std::vector<Line> first = new_lines();
    ASSERT_EQ(3u, first.size());
    EXPECT_EQ(entry_line(), first[0]);
    EXPECT_EQ(open_line(kNine), first[1]);
    EXPECT_EQ("DEBUG4", first[2].level);
    EXPECT_NE(live_line(kNull), first[2]) << "the live object was logged as null";
    EXPECT_EQ(0u, first[2].message.find("Orvella live: "));

    // The record now exists: its address heads the next request, and
    // nothing is opened again.
    EXPECT_EQ(api, request());
    const std::vector<Line> second = new_lines();
    ASSERT_EQ(1u, second.size());
    EXPECT_EQ(0u, second[0].message.find(kEntry));
    EXPECT_NE(entry_line(), second[0]);

    // query_api is asked on every request: when it has none, the loader
    // stays loaded and the next request gets one again.
    ::setenv("ORVELLA_STANDIN_QUERY_API", "null", 1);
    EXPECT_EQ(nullptr, request());
    ::unsetenv("ORVELLA_STANDIN_QUERY_API");
    EXPECT_EQ(api, request());
    EXPECT_EQ(std::vector<Line>({second[0], second[0]}), new_lines());
}

TEST_F(LoaderTest, LibraryMissingFromTheInstallationIsSoughtNowhereElse) {
    install(9, false, LiveLibrary::none);
    // One lying in the host's working directory is never opened.
    const std::string planted = "/tmp/work/qororvellalive6.so";
    install_file(standin_library_file(LiveLibrary::standin, 9), planted);
    ASSERT_EQ(0, ::chdir("/tmp/work"));
    const auto planted_loaded = [&] {
        void* loaded = ::dlopen(planted.c_str(), RTLD_LAZY | RTLD_NOLOAD);
        if (loaded != nullptr) ::dlclose(loaded);
        return loaded != nullptr;
    };
    const std::vector<Line> attempt = {entry_line(), open_line(kNine), no_handle_line()};
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(nullptr, request()) << "request " << i;
        EXPECT_EQ(attempt, new_lines()) << "request " << i;
    }
    EXPECT_FALSE(planted_loaded());

    // The installation's library, installed while the host runs, is picked
    // up by the next request.
    install_standin(9, false, LiveLibrary::standin);
    EXPECT_NE(nullptr, request());
    const std::vector<Line> lines = new_lines();
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(open_line(kNine), lines[1]);
    EXPECT_FALSE(planted_loaded());
}

TEST_F(LoaderTest, OldFloatingBuildUsesTheUnversionedLibrary) {
    install(5, true, LiveLibrary::standin);
    ASSERT_NE(nullptr, request());
    const std::vector<Line> lines = new_lines();
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(open_line("/Applications/Orvella5_floating.app/Contents/MacOS//qororvellalive.so"),
              lines[1]);
}

TEST_F(LoaderTest, NewerNormalBuildIsNotProbed) {
    install(10, false, LiveLibrary::standin);
    EXPECT_EQ(nullptr, request());
    EXPECT_EQ(nullptr, request());
    EXPECT_EQ(std::vector<Line>({entry_line(), entry_line()}), new_lines());
}

TEST_F(LoaderTest, LibraryWithoutLiveObjectIsClosedAndReopened) {
    struct Case { const char* name; LiveLibrary library; bool initialize_returns_null; };
    const Case cases[] = {
        {"no orvella_live_initialize", LiveLibrary::without_initialize, false},
        {"orvella_live_initialize returns null", LiveLibrary::standin, true},
    };
    for (const Case& c : cases) {
        remove_tree("/Applications/Orvella9.app");
        install(9, false, c.library);
        if (c.initialize_returns_null) ::setenv("ORVELLA_STANDIN_INITIALIZE", "null", 1);
        const std::vector<Line> attempt = {entry_line(), open_line(kNine), live_line(kNull)};
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(nullptr, request()) << c.name;
            EXPECT_EQ(attempt, new_lines()) << c.name << ", request " << i;
            void* still_open = ::dlopen(kNine.c_str(), RTLD_LAZY | RTLD_NOLOAD);
            EXPECT_EQ(nullptr, still_open) << c.name << ": the library was left open";
            if (still_open != nullptr) ::dlclose(still_open);
        }
        ::unsetenv("ORVELLA_STANDIN_INITIALIZE");
    }
    // Once the library delivers, the loader settles.
    EXPECT_NE(nullptr, request());
    EXPECT_EQ(3u, new_lines().size());
}
