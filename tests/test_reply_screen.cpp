#include <gtest/gtest.h>

#include <string>

#include "handoff/reply_screen.h"
#include "handoff/scene_search.h"

using orvella::reply_may_name;
using orvella::ReplyMemory;

namespace {

// What the attempt's parse and search answer.
bool parse_confirms(const std::string& reply, const std::string& name) {
    return orvella::reply_names_model(reply, name);
}

const char kUtf8[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
const char kLatin1[] = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";

}  // namespace

// Each row says what the parse finds and what the screen answers: a row the
// parse confirms must be one the screen lets through.
TEST(ReplyScreen, LetsThroughEveryReplyWhoseParseCouldConfirm) {
    struct Case { const char* what; std::string reply; std::string name; bool confirms; bool may; };
    const Case cases[] = {
        {"absent, no references", R"(<s><m name="Top"/></s>)", "Skirt", false, false},
        {"present as written", R"(<s><m name="Skirt"/></s>)", "Skirt", true, true},
        {"written, but as a tag", R"(<s><Skirt/></s>)", "Skirt", false, true},
        {"written in a comment", R"(<!-- name="Skirt" --><s/>)", "Skirt", false, true},
        {"split over two values", R"(<s><m name="Sk" id="irt"/></s>)", "Skirt", false, false},
        {"an entity elsewhere", R"(<s><m name="Tops &amp; Tees"/></s>)", "Skirt", false, false},
        {"references elsewhere", R"(<s><m name="&#1057;&#x43a;"/></s>)", "Skirt", false, false},
        {"&amp; in the name", R"(<m name="Tops &amp; Tees"/>)", "Tops & Tees", true, true},
        {"&lt; and &gt; in the name", R"(<m name="a&lt;b&gt;"/>)", "a<b>", true, true},
        {"&quot; and &apos; in the name", R"(<m name='&quot;a&apos;'/>)", "\"a'", true, true},
        {"'<' as written", R"(<m name="a<b"/>)", "a<b", true, true},
        {"'&' as written, unquoted", R"(<m name=A&B/>)", "A&B", true, true},
        {"decimal reference", R"(<m name="Sk&#105;rt"/>)", "Skirt", true, true},
        {"hexadecimal reference first", R"(<m name="&#x53;kirt"/>)", "Skirt", true, true},
        {"name split by references", R"(<m name="S&#107;i&#x72;&#116;"/>)", "Skirt", true, true},
        {"an unrecognised '&' reads as nothing", R"(<m name="Sk&irt"/>)", "Skirt", true, true},
        {"'&#X' is no reference", R"(<m name="&#X53;kirt"/>)", "Skirt", false, false},
        {"digits read back to the nearest '#'", R"(<m name="Sk&#12#105;rt"/>)", "Skirt", true, true},
        {"hex digits read back to the nearest 'x'", R"(<m name="Sk&#xZx69;rt"/>)", "Skirt", true,
         true},
        // Without a declaration or a byte-order mark a reference is UTF-8, as
        // XML has it; in an encoding of single bytes it is one, or an error.
        {"no declaration: 361 is two bytes", R"(<m name="Sk&#361;rt"/>)", "Skirt", false, true},
        {"no declaration: past 32 bits", R"(<m name="Sk&#4294967401;rt"/>)", "Skirt", false, true},
        {"UTF-8: 361 is two bytes", kUtf8 + std::string(R"(<m name="Sk&#361;rt"/>)"), "Skirt",
         false, true},
        {"UTF-8: from 0x200000 on a reference reads as nothing",
         kUtf8 + std::string(R"(<m name="Sk&#2097152;irt"/>)"), "Skirt", true, true},
        {"UTF-8 by its byte-order mark", "\xEF\xBB\xBF<m name=\"Caf&#233;\"/>", "Caf\xC3\xA9",
         true, true},
        {"one byte each: the same reference", kLatin1 + std::string(R"(<m name="Caf&#233;"/>)"),
         "Caf\xE9", true, true},
        {"one byte each: 361 is no byte", kLatin1 + std::string(R"(<m name="Sk&#361;rt"/>)"),
         "Skirt", false, true},
        {"non-ASCII as written", "<m name=\"\xD0\xAE\xD0\xB1\xD0\xBA\xD0\xB0\"/>",
         "\xD0\xAE\xD0\xB1\xD0\xBA\xD0\xB0", true, true},
        {"CDATA", R"(<m><![CDATA[&#83;kirt]]></m>)", "Skirt", false, true},
        {"empty name", R"(<m name=""/>)", "", true, true},
        {"a name with a NUL", R"(<m name="a"/>)", std::string("a\0b", 3), false, true},
        {"the reply ends at its first NUL", std::string("<m name=\"x\"/>\0<m name=\"Skirt\"/>", 31),
         "Skirt", false, false},
        // A reply cut inside a start tag: the modelset that followed the name
        // may have been inactive.
        {"cut inside the modelset's value", R"(<s><m name="Skirt" modelset="off)", "Skirt", false,
         true},
        {"cut before the modelset's value", R"(<s><m name="Skirt" modelset)", "Skirt", false, true},
        {"cut after the name's value", R"(<s><m name="Skirt")", "Skirt", false, true},
        {"a start tag with two names", R"(<s><m name="Skirt" name="x"/></s>)", "Skirt", false, true},
        {"cut after a whole start tag", R"(<s><m name="Skirt">)", "Skirt", true, true},
        {"cut in a later element's start tag", R"(<s><m name="Skirt"/><n id=)", "Skirt", true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.confirms, parse_confirms(c.reply, c.name)) << c.what;
        EXPECT_EQ(c.may, reply_may_name(c.reply, c.name)) << c.what;
    }
}

// Every '&' may be itself or nothing: ruling out such a name would take long,
// so the reply is parsed instead.
TEST(ReplyScreen, LetsThroughWhatWouldTakeLongToRuleOut) {
    const std::string reply = "<m name=\"" + std::string(100000, '&') + "\"/>";
    const std::string name = std::string(300, '&') + "x";
    EXPECT_FALSE(parse_confirms(reply, name));
    EXPECT_TRUE(reply_may_name(reply, name));
}

TEST(ReplyScreen, RemembersOnlyWhatItWasTold) {
    ReplyMemory memory;
    memory.reply() = "<scene/>";
    EXPECT_FALSE(memory.unchanged()) << "nothing remembered yet";
    memory.remember_unconfirmed();
    memory.reply() = "<scene/>";
    EXPECT_TRUE(memory.unchanged());
    memory.reply() = "<scene/> ";
    EXPECT_FALSE(memory.unchanged()) << "one more byte";
    memory.reply() = "<scene/";
    EXPECT_FALSE(memory.unchanged()) << "one byte fewer";
    memory.reply() = "<Scene/>";
    EXPECT_FALSE(memory.unchanged()) << "one byte differs";
}
