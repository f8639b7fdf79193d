#include <gtest/gtest.h>

#include <string>

#include "handoff/reply_screen.h"
#include "handoff/scene_search.h"

using orvella::reply_may_name;

// Each row says what the attempt's parse and search find and what the screen
// answers: a row the parse confirms must be one the screen lets through.
TEST(ReplyScreen, LetsThroughEveryReplyWhoseParseCouldConfirm) {
    struct Case { const char* what; std::string reply; std::string name; bool confirms; bool may; };
    const Case cases[] = {
        {"absent", R"(<s><m name="Top"/></s>)", "Skirt", false, false},
        {"present as written", R"(<s><m name="Skirt"/></s>)", "Skirt", true, true},
        {"written, but as a tag", R"(<s><Skirt/></s>)", "Skirt", false, true},
        {"split over two values", R"(<s><m name="Sk" id="irt"/></s>)", "Skirt", false, false},
        {"a '&' elsewhere", R"(<s><m name="Tops &amp; Tees"/></s>)", "Skirt", false, true},
        {"assembled from references", R"(<m name="S&#107;i&#x72;&#116;"/>)", "Skirt", true, true},
        {"an entity in the name", R"(<m name="Tops &amp; Tees"/>)", "Tops & Tees", true, true},
        {"non-ASCII as written", "<m name=\"\xD0\xAE\xD0\xB1\"/>", "\xD0\xAE\xD0\xB1", true, true},
        // A reference is the UTF-8 of its number without a declaration, as XML
        // has it; in an encoding of single bytes it is one byte, or an error.
        {"no declaration: 361 is two bytes", R"(<m name="Sk&#361;rt"/>)", "Skirt", false, true},
        {"one byte each: the same reference",
         R"(<?xml version="1.0" encoding="ISO-8859-1"?><m name="Caf&#233;"/>)", "Caf\xE9", true, true},
        {"one byte each: 361 is no byte",
         R"(<?xml version="1.0" encoding="ISO-8859-1"?><m name="Sk&#361;rt"/>)", "Skirt", false, true},
        {"empty name", R"(<m name=""/>)", "", true, true},
        {"the reply ends at its first NUL", std::string("<m name=\"x\"/>\0<m name=\"Skirt\"/>", 31),
         "Skirt", false, false},
        // A reply cut inside a start tag: the modelset that followed the name
        // may have been inactive.
        {"cut inside the modelset's value", R"(<s><m name="Skirt" modelset="off)", "Skirt", false,
         true},
        {"cut after the name's value", R"(<s><m name="Skirt")", "Skirt", false, true},
        {"cut after a whole start tag", R"(<s><m name="Skirt">)", "Skirt", true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.confirms, orvella::reply_names_model(c.reply, c.name)) << c.what;
        EXPECT_EQ(c.may, reply_may_name(c.reply, c.name)) << c.what;
    }
}
