// Any bytes as the preferences file, read and saved back with the values it
// holds, and as Orvella's settings file, read for the default textures
// directory: the store's own reading and planning of a save, in memory (the
// file handling around them is the sandboxed tests' part). All of it runs on
// a 512 KiB stack. For every file: nothing crashes, trips a sanitizer or
// leaks; a file nested deeper than the plug-in parses, or with more nodes
// than a read takes, reads as no file; a save is refused only for a value
// that reads back in no file or a file that would print larger than a read
// takes; and after every save:
// - what it writes reads whole, with both values as a read gives them (as
//   a fresh file of the two reads them);
// - a file that did not read whole is kept beside it;
// - Debian's expat takes what it writes whenever it took the file;
// - saving the same values again keeps nothing.
#include <expat.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include <tinyxml.h>

#include "fuzz_check.h"
#include "fuzz_support.h"
#include "settings/plugin_settings.h"
#include "settings/plugin_settings_for_testing.h"
#include "small_stack.h"
#include "support/xml_input.h"
#include "support/xml_saved_size.h"

using orvella::PluginSettings;

namespace {

bool expat_accepts(const std::string& bytes) {
    const XML_Parser parser = ::XML_ParserCreate(nullptr);
    FUZZ_CHECK(parser != nullptr);
    const bool accepted = ::XML_Parse(parser, bytes.data(), static_cast<int>(bytes.size()),
                                      XML_TRUE) == XML_STATUS_OK;
    ::XML_ParserFree(parser);
    return accepted;
}

void check(const std::string& file) {
    TiXmlDocument reading;
    const bool whole = orvella::parse_xml_file_bytes(reading, file, TIXML_ENCODING_UNKNOWN);
    const bool readable = reading.ErrorId() != TiXmlBase::TIXML_ERROR_ELEMENT_TOO_DEEP &&
                          reading.ErrorId() != TiXmlBase::TIXML_ERROR_OVER_NODE_BUDGET;
    if (!readable) {
        FUZZ_CHECK(reading.FirstChild() == nullptr);
        FUZZ_CHECK(PluginSettings::default_textures_dir_in(reading).empty());
    }
    // What the settings window shows, and sends back on OK (nothing is
    // installed, so the default directory is empty).
    std::string include_avatar = orvella::stored_value_in(reading, "IncludeAvatar");
    if (include_avatar.empty()) include_avatar = "false";
    const std::string textures_dir = orvella::stored_value_in(reading, "TexturesDir");

    std::string avatar_back;
    std::string dir_back;
    const bool storable = orvella_fuzz::fresh_file_reads(include_avatar, textures_dir, avatar_back,
                                                         dir_back);
    PluginSettings::SavePlan plan;
    if (!PluginSettings::plan_save(reading, whole, include_avatar, textures_dir, plan)) {
        // A whole file is saved from the document read, values written.
        constexpr std::size_t kBound = orvella::kMaxXmlFileBytes - orvella::kXmlByteOrderMarkBytes;
        FUZZ_CHECK(!storable || !whole || orvella::xml_saved_size(reading, kBound) > kBound);
        return;
    }
    FUZZ_CHECK(storable);
    FUZZ_CHECK(plan.keep || whole);
    FUZZ_CHECK(plan.bytes.size() <= orvella::kMaxXmlFileBytes);
    if (whole && !plan.keep)  // the document read, printed: counted as SaveFile prints it
        FUZZ_CHECK(orvella::xml_saved_size(reading, orvella::kMaxXmlFileBytes) +
                       (plan.bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? orvella::kXmlByteOrderMarkBytes : 0) ==
                   plan.bytes.size());
    TiXmlDocument saved;
    FUZZ_CHECK(orvella::parse_xml_file_bytes(saved, plan.bytes, TIXML_ENCODING_UNKNOWN));
    FUZZ_CHECK(orvella::stored_value_in(saved, "IncludeAvatar") == avatar_back);
    FUZZ_CHECK(orvella::stored_value_in(saved, "TexturesDir") == dir_back);
    if (expat_accepts(file)) FUZZ_CHECK(expat_accepts(plan.bytes));

    PluginSettings::SavePlan again;
    FUZZ_CHECK(PluginSettings::plan_save(saved, true, include_avatar, textures_dir, again));
    FUZZ_CHECK(!again.keep);
    // (Its bytes may differ: TinyXML reads some texts otherwise than it
    // printed them, a lead byte taking in the line break after it, or a
    // byte order mark inside a text read as white space.)
}

}  // namespace

// Each input allocates a few documents' nodes: a short quarantine keeps
// their pages warm, and no fill is written into every allocation. (Options
// given in ASAN_OPTIONS still win.)
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=16:max_malloc_fill_size=0";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file(reinterpret_cast<const char*>(data), size);
    orvella_fuzz::run_on_small_stack([&file] { check(file); });
    return 0;
}
