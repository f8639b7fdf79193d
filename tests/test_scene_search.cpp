#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cstddef>
#include <string>

#include "handoff/scene_search.h"

using orvella::find_named_model;

namespace {

// The "id" of the element the search returns for `name` with depth 4, or
// "none"; the parse within `budget` when one is given.
std::string found_in(const char* xml, const std::string& name, int depth = 4,
                     std::size_t budget = 0) {
    TiXmlDocument document;
    document.SetNodeBudget(budget);
    document.Parse(xml);
    const TiXmlElement* found = find_named_model(document.FirstChildElement(), name, depth);
    if (found == nullptr) return "none";
    const char* id = found->Attribute("id");
    return id != nullptr ? id : "?";
}

}  // namespace

TEST(SceneSearch, MatchesExactNamesInActiveSetsWithinFourLevels) {
    struct Case { const char* what; const char* xml; const char* name; const char* found; int depth = 4; };
    const Case cases[] = {
        {"root itself", R"(<a name="Coat" id="r"/>)", "Coat", "r"},
        {"level 4", R"(<a><b><c><d name="Coat" id="4"/></c></b></a>)", "Coat", "4"},
        {"level 5", R"(<a><b><c><d><e name="Coat" id="5"/></d></c></b></a>)", "Coat", "none"},
        {"element before its children",
         R"(<a><b name="Coat" id="parent"><c name="Coat" id="child"/></b></a>)", "Coat", "parent"},
        {"document order", R"(<a><b><c name="Coat" id="deep"/></b><d name="Coat" id="late"/></a>)",
         "Coat", "deep"},
        {"inactive set skipped with its subtree",
         R"(<a><s modelset="off"><m name="Coat" id="x"/></s><m name="Coat" id="y"/></a>)", "Coat",
         "y"},
        {"inactive set on the match itself", R"(<a><m modelset="off" name="Coat" id="x"/></a>)",
         "Coat", "none"},
        {"active set on the match", R"(<a><m modelset="active" name="Coat" id="x"/></a>)", "Coat",
         "x"},
        {"inactive root", R"(<a modelset="" name="Coat" id="r"/>)", "Coat", "none"},
        {"case differs", R"(<a name="coat"/>)", "Coat", "none"},
        {"trailing space", R"(<a name="Coat "/>)", "Coat", "none"},
        {"prefix only", R"(<a name="Coa"/>)", "Coat", "none"},
        {"NUL reference after the name", R"(<a name="Coat&#0;xyz"/>)", "Coat", "none"},
        {"NUL reference ends the name", R"(<a name="Coat&#0;"/>)", "Coat", "none"},
        {"NUL reference after active", R"(<a modelset="active&#0;x"><m name="Coat" id="x"/></a>)",
         "Coat", "none"},
        {"no name attributes", R"(<Coat><Coat>Coat</Coat></Coat>)", "Coat", "none"},
        {"empty name matches an empty name", R"(<a><b name="" id="e"/></a>)", "", "e"},
        {"no levels", R"(<a name="Coat" id="r"/>)", "Coat", "none", 0},
        {"fewer than none", R"(<a name="Coat" id="r"/>)", "Coat", "none", -3},
        {"two levels reach the second", R"(<a><b name="Coat" id="2"/></a>)", "Coat", "2", 2},
        {"one level does not", R"(<a><b name="Coat" id="2"/></a>)", "Coat", "none", 1},
        {"empty reply", "", "Coat", "none"},
        {"not XML", "<<<not xml", "Coat", "none"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.found, found_in(c.xml, c.name, c.depth)) << c.what;
}

// A parse that its node budget or the nesting limit stops holds a part of
// the reply: what the search finds there, the whole reply holds too.
TEST(SceneSearch, ParseStoppedByItsBudgetConfirmsOnlyWhatTheWholeWould) {
    constexpr std::size_t kElement = sizeof(TiXmlElement);
    constexpr std::size_t kAttribute = sizeof(TiXmlAttribute);
    struct Case {
        const char* what;
        const char* xml;
        std::size_t budget;
        const char* found;
        bool stopped;
    };
    const Case cases[] = {
        {"within the budget", R"(<a><m name="Coat" id="x"/></a>)", 2 * kElement + 2 * kAttribute,
         "x", false},
        {"the model read before the stop", R"(<a><m name="Coat" id="x"/><b/></a>)",
         2 * kElement + 2 * kAttribute, "x", true},
        {"stopped before the model", R"(<a><b/><m name="Coat" id="x"/></a>)", 2 * kElement, "none",
         true},
        // Its name read, the inactive set after it not: the element keeps neither.
        {"stopped inside the model's start tag", R"(<a><m name="Coat" modelset="off" id="x"/></a>)",
         2 * kElement + kAttribute, "none", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.found, found_in(c.xml, "Coat", 4, c.budget)) << c.what;
        TiXmlDocument document;
        document.SetNodeBudget(c.budget);
        document.Parse(c.xml);
        EXPECT_EQ(c.stopped, document.ErrorId() == TiXmlBase::TIXML_ERROR_OVER_NODE_BUDGET) << c.what;
    }
    // Stopped by the nesting limit instead, the attempt searches what was read too.
    std::string deep = R"(<a><m name="Coat"/>)";
    for (std::size_t i = 0; i <= TIXML_MAX_ELEMENT_DEPTH; ++i) deep += "<b>";
    EXPECT_TRUE(orvella::reply_names_model(deep, "Coat"));
}
