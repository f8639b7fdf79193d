// The host-version gate: which host texts this build registers in.
#include <gtest/gtest.h>

#include <cfloat>
#include <optional>
#include <string>
#include <vector>

#include "plugin/host_version.h"
#include "standins/garvento/standin_control.h"

using namespace orvella;

namespace {

struct VersionText {
    const char* name;
    std::string text;
    std::optional<float> version;  // nothing: unreadable
    bool served;                   // by the "8_0" build
};

const std::vector<VersionText>& version_texts() {
    static const std::vector<VersionText> table = {
        {"no version word", R"({"name":"Garvento"})", 8.0f, true},
        {"8.0.1", R"({"name":"Garvento","version":"8.0.1"})", 8.0f, true},
        {"8.05: one digit after the dot", R"({"version":"8.05"})", 8.0f, true},
        {"8.0 itself", R"({"version":"8.0"})", 8.0f, true},
        {"7.5.2", R"({"version":"7.5.2"})", 7.5f, true},
        {"8.1", R"({"version":"8.1"})", 8.1f, false},
        {"9.0", R"({"version":"9.0"})", 9.0f, false},
        {"2019.1.0", R"({"version":"2019.1.0"})", 2019.1f, false},
        {"10.0", R"({"version":"10.0"})", 10.0f, false},
        {"0", R"({"version":"0"})", 0.0f, false},
        {"-1", R"({"version":"-1"})", -1.0f, false},
        {"no dot after the start: the rest is read", R"({"version":"7"} build 2.5)", 7.0f, true},
        {"white space before the number", "Garvento version =   7.9", 7.9f, true},
        {"the first word counts", R"({"version":"8.0","plugin version":"9.5"})", 8.0f, true},
        {"the first word counts, refused", R"({"version":"9.5","api_version":"8.0"})", 9.5f, false},
        {"version at the very end", "Garvento version", std::nullopt, false},
        {"version 8: too short to read", "version 8", std::nullopt, false},
        {"nothing after the three characters", R"({"version":")", std::nullopt, false},
        {"no number there", R"({"version":"beta"})", std::nullopt, false},
        {"not a number", R"({"version":"nan"})", std::nullopt, false},
        {"not finite", R"({"version":"inf"})", std::nullopt, false},
        {"too large for a float", R"({"version":"1e39"})", std::nullopt, false},
    };
    return table;
}

}  // namespace

TEST(HostVersion, VersionTexts) {
    for (const VersionText& row : version_texts()) {
        const std::optional<float> version = host_version_from_text(row.text);
        EXPECT_EQ(row.version.has_value(), version.has_value()) << row.name;
        if (row.version && version) {
            EXPECT_FLOAT_EQ(*row.version, *version) << row.name;
        }
        EXPECT_EQ(row.served, host_text_supported(row.text, target_host_key)) << row.name;
    }
}

TEST(HostVersion, RangesOfBothGenerations) {
    EXPECT_STREQ("8_0", target_host_key);
    EXPECT_EQ(FLT_MIN, host_version_range("8_0").min);
    EXPECT_EQ(8.0f, host_version_range("8_0").max);
    EXPECT_EQ(9.1f, host_version_range("2019_1").min);
    EXPECT_EQ(FLT_MAX, host_version_range("2019_1").max);

    struct Row { const char* text; bool served; };
    for (const Row& row : {Row{R"({"version":"2019.1.0"})", true}, Row{R"({"version":"9.1"})", true},
                           Row{R"({"version":"9.0"})", false}, Row{R"({"name":"Garvento"})", false}}) {
        EXPECT_EQ(row.served, host_text_supported(row.text, "2019_1")) << row.text;
    }
}

TEST(HostVersion, AsksTheHostAndReleasesItsString) {
    standin::reset();
    standin::set_host_text(R"({"version":"9.0"})");
    EXPECT_FALSE(host_version_supported());
    standin::set_host_text(R"({"version":"7.0"})");
    EXPECT_TRUE(host_version_supported());
    EXPECT_EQ(0u, standin::live_strings());
    std::vector<std::string> functions;
    for (const standin::Call& call : standin::plugin_calls()) functions.push_back(call.function);
    const std::vector<std::string> once = {"SvApiStringCreate", "SvApiHostApplicationGet",
                                           "SvApiStringGet", "SvApiStringRelease"};
    std::vector<std::string> twice = once;
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(twice, functions);
}
