// The size a save will have, counted before anything is printed.
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "settings_test_files.h"
#include "support/xml_saved_size.h"

using namespace orvella;

namespace {

// What SaveFile writes for the document, in memory.
std::string saved(const TiXmlDocument& document) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* stream = ::open_memstream(&buffer, &size);
    EXPECT_TRUE(document.SaveFile(stream));
    std::fclose(stream);
    const std::unique_ptr<char, decltype(&std::free)> owned(buffer, &std::free);
    return std::string(buffer, size);
}

}  // namespace

TEST(XmlSavedSize, CountsWhatSaveFileWrites) {
    const std::string texts[] = {
        "",
        "<r/>",
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><!--c--><r a='1' b=\"'\"/>",
        "<?xml?><!DOCTYPE r><r>\n  <K>a&amp;b&lt;&gt;&quot;&apos;&#x01;&#9;\xC3\xA9</K>\n</r>",
        "<r>text<b/>tail<![CDATA[ raw <x> ]]><c><![CDATA[alone]]></c><d>x<!--m--></d></r>",
        "<r a='&#0;&amp;' b=\"&quot;\"><!-- x --><![CDATA[]]><e></e><f> </f></r>",
        "\xEF\xBB\xBF<r><b>with a byte order mark</b></r>",
        "<a>" + orvella_test::nested_elements(50, "<b x='1'>t</b><c/>") + "</a>",
        "<r>&#0;cut<b/></r>",  // a NUL in a text: written as a reference
    };
    for (const std::string& text : texts) {
        TiXmlDocument document;
        document.Parse(text.c_str(), nullptr, TIXML_ENCODING_UNKNOWN);
        const std::size_t bom = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? kXmlByteOrderMarkBytes : 0;
        const std::string bytes = saved(document);
        EXPECT_EQ(bytes.size(), xml_saved_size(document, bytes.size()) + bom) << text;
        // One byte short of the bound: above it.
        if (bytes.size() > bom) {
            const std::size_t short_of_it = bytes.size() - bom - 1;
            EXPECT_GT(xml_saved_size(document, short_of_it), short_of_it) << text;
        }
    }
    // A document built in code, as a save builds one.
    TiXmlDocument built;
    built.InsertEndChild(TiXmlDeclaration("1.0", "UTF-8", ""));
    TiXmlElement root("orvella_garvento_settings");
    TiXmlElement value("TexturesDir");
    value.InsertEndChild(TiXmlText("/Users/\"q\"/a\tb"));
    root.InsertEndChild(value);
    built.InsertEndChild(root);
    EXPECT_EQ(saved(built).size(), xml_saved_size(built, SIZE_MAX));
}

// Printed, branches nested a thousand levels deep take about two thousand
// times their size; the count stops soon after the bound.
TEST(XmlSavedSize, StopsSoonAfterTheBound) {
    std::string branches;
    for (int i = 0; i < 200; ++i) branches += orvella_test::nested_elements(990);
    TiXmlDocument document;
    document.Parse(("<r>" + branches + "</r>").c_str());
    ASSERT_FALSE(document.Error());
    const std::size_t bound = 64 << 10;
    const std::size_t counted = xml_saved_size(document, bound);
    EXPECT_GT(counted, bound);
    EXPECT_LT(counted, bound + 8 * 1024) << "one node's line past the bound at most";
}
