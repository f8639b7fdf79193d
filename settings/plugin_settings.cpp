#include "settings/plugin_settings.h"

#include <tinyxml.h>

#include <cstddef>
#include <utility>

#include "support/atomic_file_write.h"
#include "support/file_link.h"
#include "support/home_directory.h"
#include "support/installation_finder.h"
#include "support/xml_input.h"
#include "support/xml_saved_size.h"

namespace orvella {
namespace {

constexpr char kIdentifier[] = "com.stavlin.orvellaplugin";
constexpr char kIncludeAvatarKey[] = "IncludeAvatar";
constexpr char kTexturesDirKey[] = "TexturesDir";
constexpr char kPreferencesUnderHome[] =
    "/Library/Preferences/com.qorvane.orvella.garvento.plist";
constexpr char kRootName[] = "orvella_garvento_settings";
// Orvella keeps this name whatever its own version is.
constexpr char kOrvellaSettingsName[] = "/OV9Settings.xml";

// The value of the node's first child (a text node's text), or "" when
// there is no node or it has no child.
std::string first_child_value(const TiXmlNode* node) {
    const TiXmlNode* child = node ? node->FirstChild() : nullptr;
    return child ? child->ValueStr() : std::string();
}

// The text of the key's element under the document's root, or "".
std::string stored_value(const TiXmlDocument& document, const std::string& key) {
    const TiXmlElement* root = document.FirstChildElement();
    return root ? first_child_value(root->FirstChildElement(key)) : std::string();
}

// A preferences file that did not read whole keeps its bytes under a second
// name beside it: "NAME.unread", or "NAME.unread 2" up to "NAME.unread 100"
// when that is taken by another file.
constexpr char kUnreadSuffix[] = ".unread";
constexpr int kLastUnreadNumber = 100;

// What the preferences (or Orvella's settings) file holds, as far as it
// parses; a missing or malformed file leaves the document empty or partial.
// True when the file read whole.
bool load(TiXmlDocument& document) {
    return load_xml_file(document, TIXML_ENCODING_UNKNOWN);
}

// A save rewrites the file from what parsed: before it replaces a file that
// did not read whole, that file is given a second name, which keeps its
// bytes without copying them. Once per file: a name that already links to
// it is enough. True when the save may go on.
bool keep_unread_file(const std::string& file) {
    for (int number = 1; number <= kLastUnreadNumber; ++number) {
        const std::string name =
            file + kUnreadSuffix + (number == 1 ? "" : " " + std::to_string(number));
        switch (add_second_name(file, name)) {
            case SecondName::added:
            case SecondName::already_there: return true;
            case SecondName::taken: continue;
            case SecondName::failed: return false;
        }
    }
    return false;
}

}  // namespace

PluginSettings::PluginSettings() {
    default_textures_dir_ = find_default_textures_dir();
    identifier_ = kIdentifier;
    preferences_path_ = home_directory() + kPreferencesUnderHome;
    include_avatar_key_ = kIncludeAvatarKey;
    textures_dir_key_ = kTexturesDirKey;
}

StoredSettings PluginSettings::read_settings() const {
    TiXmlDocument document(preferences_path_);
    load(document);
    std::string include_avatar = stored_value(document, include_avatar_key_);
    std::string textures_dir = stored_value(document, textures_dir_key_);
    return {include_avatar.empty() ? "false" : std::move(include_avatar),
            textures_dir.empty() ? default_textures_dir_ : std::move(textures_dir)};
}

bool PluginSettings::save_settings(const std::string& include_avatar,
                                   const std::string& textures_dir) const {
    TiXmlDocument document(preferences_path_);
    const bool whole = load(document);
    TiXmlElement* root = document.FirstChildElement();
    if (!root) {
        document.InsertEndChild(TiXmlDeclaration("1.0", "UTF-8", ""));
        document.InsertEndChild(TiXmlElement(kRootName));
        root = document.FirstChildElement();
    }
    write_value(*root, include_avatar_key_, include_avatar);
    write_value(*root, textures_dir_key_, textures_dir);
    // A file larger than a read takes would read as no settings at all, and
    // SaveFile's indentation can make it far larger than what was read: it is
    // not written. (Whether the text began with a byte order mark, which
    // SaveFile writes again, is not known here, so room is left for one.)
    constexpr std::size_t kLargestText = kMaxXmlFileBytes - kXmlByteOrderMarkBytes;
    if (xml_saved_size(document, kLargestText) > kLargestText) return false;
    // What loaded nests at most kMaxXmlDepth elements, and the root, key
    // element and text added here nest no deeper than 3: SaveFile and the
    // destructor recurse no deeper than the parse did.
    // The bytes are those of TiXmlDocument::SaveFile, but they replace the
    // file only once they are all written, so a full disk or a crash keeps
    // the settings saved before; only a Preferences folder that takes no new
    // file has them written into the file in place.
    // A file that did not read whole is kept only once the new one is ready
    // to take its place; one that did is replaced as it is.
    const auto write = [&document](std::FILE* file) { return document.SaveFile(file); };
    return whole ? write_file_atomically(preferences_path_, write)
                 : write_file_atomically(preferences_path_, write, keep_unread_file);
}

std::string PluginSettings::find_default_textures_dir() {
    TiXmlDocument document(installation_finder().orvella_support_directory() +
                           kOrvellaSettingsName);
    load(document);
    const TiXmlElement* root = document.FirstChildElement();
    const TiXmlNode* folders = root ? root->FirstChild("folders") : nullptr;
    if (!folders) return {};
    // An empty "textures_default" means "none" and does not fall back.
    if (const TiXmlElement* textures = folders->FirstChildElement("textures_default")) {
        const TiXmlNode* text = textures->FirstChild();
        return text ? text->ValueStr() + "/Garvento" : std::string();
    }
    if (const TiXmlElement* resources = folders->FirstChildElement("resource_root_folder")) {
        const TiXmlNode* text = resources->FirstChild();
        return text ? text->ValueStr() + "/Textures" + "/Garvento" : std::string();
    }
    return {};
}

void PluginSettings::write_value(TiXmlElement& root, const std::string& key,
                                 const std::string& value) {
    TiXmlElement* element = root.FirstChildElement(key);
    if (!element) element = root.InsertEndChild(TiXmlElement(key))->ToElement();
    // The value ends at its first NUL, as the host's texts do.
    const TiXmlText text(value.c_str());
    // Anything else a hand edit left in the element (a comment, more text)
    // would run into the value when the file is read again, or be read in
    // its place: the element holds the value alone.
    element->Clear();
    element->InsertEndChild(text);
}

const PluginSettings& plugin_settings() {
    // Built once, under the compiler's thread-safe guard; the exit handler
    // registered with it destroys the record at unload.
    static const PluginSettings settings;
    return settings;
}

}  // namespace orvella
