// Any bytes as the preferences file: the store reads both settings from it
// and saves them back; and the same bytes as Orvella's settings file, read
// for the default textures directory. All of it runs on a 512 KiB stack. For
// every file: nothing crashes, trips a sanitizer or leaks, the save leaves a
// file exactly when what it prints stays within what a read takes (counted
// as SaveFile prints it), a file that did not read whole is kept beside it,
// and a file nested deeper than the plug-in parses reads as no file. For a plain file besides, the values
// saved read back as TinyXML's own round trip of them gives them (so the
// store's keys, defaults and file replacement are checked, not TinyXML's
// white-space condensing, which the store keeps), and saving the same values
// again gives the same bytes. Plain means: UTF-8 (see is_utf8), and read back
// by TinyXML as it saves it (the store keeps what part of a malformed file
// parsed, and TinyXML may print that part as markup that reads otherwise).
// Key elements of mixed content are plain too: a save leaves the value alone
// in its element.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include <tinyxml.h>

#include "fuzz_check.h"
#include "fuzz_support.h"
#include "settings/plugin_settings.h"
#include "small_stack.h"
#include "support/installation_finder.h"
#include "support/xml_input.h"
#include "support/xml_saved_size.h"

using orvella::plugin_settings;
using orvella_fuzz::read_file;
using orvella_fuzz::tinyxml_round_trip;

namespace {

// Where the plug-in looks for Orvella's settings file (nothing installed).
std::string orvella_settings_file() {
    return orvella::installation_finder().orvella_support_directory() + "/OV9Settings.xml";
}

bool plain_file(const std::string& file) {
    if (!orvella_fuzz::is_utf8(file)) return false;
    TiXmlDocument document;
    orvella_fuzz::parse_as_loaded(document, file);
    return orvella_fuzz::tinyxml_save_is_stable(document);
}

void check(const std::string& file) {
    TiXmlDocument reading;
    const bool readable = orvella_fuzz::parse_as_loaded(reading, file);

    orvella_fuzz::write_file(orvella_settings_file(), file);
    if (!readable) FUZZ_CHECK(orvella::PluginSettings::find_default_textures_dir().empty());

    const orvella::PluginSettings& settings = plugin_settings();
    const std::string& path = settings.preferences_path();
    orvella_fuzz::write_file(path, file);

    const std::string include_avatar = settings.read_settings().include_avatar;
    const std::string textures_dir = settings.read_settings().textures_dir;
    FUZZ_CHECK(!include_avatar.empty());
    if (!readable) {
        FUZZ_CHECK(include_avatar == "false");
        FUZZ_CHECK(textures_dir == settings.default_textures_dir());
    }

    // What the save will print: the file as read, with both values written.
    // It is saved exactly when that stays within what a read takes (room
    // left for a byte order mark), and it is counted as SaveFile prints it.
    if (!reading.FirstChildElement()) {
        reading.InsertEndChild(TiXmlDeclaration("1.0", "UTF-8", ""));
        reading.InsertEndChild(TiXmlElement("orvella_garvento_settings"));
    }
    orvella::PluginSettings::write_value(*reading.FirstChildElement(), "IncludeAvatar", include_avatar);
    orvella::PluginSettings::write_value(*reading.FirstChildElement(), "TexturesDir", textures_dir);
    constexpr std::size_t kBound = orvella::kMaxXmlFileBytes - orvella::kXmlByteOrderMarkBytes;
    const std::size_t counted = orvella::xml_saved_size(reading, kBound);
    const bool fits = counted <= kBound;
    if (fits) {
        const bool bom = file.compare(0, 3, "\xEF\xBB\xBF") == 0;
        FUZZ_CHECK(counted + (bom ? orvella::kXmlByteOrderMarkBytes : 0) ==
                   orvella_fuzz::saved_bytes(reading).size());
    }

    const std::string unread = path + ".unread";
    const bool stored = settings.save_settings(include_avatar, textures_dir);
    FUZZ_CHECK(stored == fits);
    if (!stored) {
        // Nothing written, nothing kept.
        FUZZ_CHECK(read_file(path) == file);
        FUZZ_CHECK(!std::filesystem::exists(unread));
        return;
    }
    const std::string saved = read_file(path);
    FUZZ_CHECK(saved == orvella_fuzz::saved_bytes(reading));  // what SaveFile writes
    FUZZ_CHECK(saved.size() <= orvella::kMaxXmlFileBytes);
    // A file that did not read whole is kept beside the saved one.
    if (std::filesystem::exists(unread)) {
        FUZZ_CHECK(read_file(unread) == file);
        std::filesystem::remove(unread);
    }
    if (!plain_file(file)) return;

    const std::string prologue = orvella_fuzz::prologue_of(saved);
    const std::string avatar_back = tinyxml_round_trip(include_avatar, prologue);
    const std::string dir_back = tinyxml_round_trip(textures_dir, prologue);
    FUZZ_CHECK(settings.read_settings().include_avatar == (avatar_back.empty() ? "false" : avatar_back));
    FUZZ_CHECK(settings.read_settings().textures_dir ==
               (dir_back.empty() ? settings.default_textures_dir() : dir_back));

    FUZZ_CHECK(settings.save_settings(include_avatar, textures_dir));
    FUZZ_CHECK(read_file(path) == saved);
    FUZZ_CHECK(!std::filesystem::exists(unread));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    orvella_fuzz::make_throwaway_home();
    std::filesystem::create_directories(orvella::installation_finder().orvella_support_directory());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file(reinterpret_cast<const char*>(data), size);
    orvella_fuzz::run_on_small_stack([&file] { check(file); });
    return 0;
}
