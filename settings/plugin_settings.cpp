#include "settings/plugin_settings.h"

#include <sys/stat.h>
#include <tinyxml.h>

#include <cerrno>

#include "support/atomic_file_write.h"
#include "support/file_copy.h"
#include "support/home_directory.h"
#include "support/installation_finder.h"
#include "support/xml_input.h"

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

// Copies of a preferences file that did not read whole are named after it:
// "NAME.unread", then "NAME.unread 2" up to "NAME.unread 100".
constexpr char kUnreadSuffix[] = ".unread";
constexpr int kLastUnreadNumber = 100;

// What the preferences (or Orvella's settings) file holds, as far as it
// parses; a missing or malformed file leaves the document empty or partial.
// True when the file read whole.
bool load(TiXmlDocument& document) {
    return load_xml_file(document, TIXML_ENCODING_UNKNOWN);
}

// A save rewrites the file from what parsed: before it replaces a file that
// did not read whole, that file's bytes are kept beside it under a name of
// their own. True when the save may go on: the copy is made, or there is no
// regular file whose bytes a save could lose.
bool keep_unread_file(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return errno == ENOENT;
    // A folder, a device or a FIFO is never replaced by a save.
    if (!S_ISREG(info.st_mode)) return true;
    for (int number = 1; number <= kLastUnreadNumber; ++number) {
        const std::string copy =
            path + kUnreadSuffix + (number == 1 ? "" : " " + std::to_string(number));
        if (copy_to_new_file(path, copy)) return true;
        if (errno != EEXIST) return false;
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

std::string PluginSettings::include_avatar() const {
    std::string value = read_value(include_avatar_key_);
    return value.empty() ? "false" : value;
}

std::string PluginSettings::textures_dir() const {
    std::string value = read_value(textures_dir_key_);
    return value.empty() ? default_textures_dir_ : value;
}

std::string PluginSettings::read_value(const std::string& key) const {
    TiXmlDocument document(preferences_path_);
    load(document);
    const TiXmlElement* root = document.FirstChildElement();
    return root ? first_child_value(root->FirstChildElement(key)) : std::string();
}

bool PluginSettings::save_settings(const std::string& include_avatar,
                                   const std::string& textures_dir) const {
    TiXmlDocument document(preferences_path_);
    if (!load(document) && !keep_unread_file(preferences_path_)) return false;
    TiXmlElement* root = document.FirstChildElement();
    if (!root) {
        document.InsertEndChild(TiXmlDeclaration("1.0", "UTF-8", ""));
        document.InsertEndChild(TiXmlElement(kRootName));
        root = document.FirstChildElement();
    }
    write_value(*root, include_avatar_key_, include_avatar);
    write_value(*root, textures_dir_key_, textures_dir);
    // What loaded nests at most kMaxXmlDepth elements, and the root, key
    // element and text added here nest no deeper than 3: SaveFile and the
    // destructor recurse no deeper than the parse did.
    // The bytes are those of TiXmlDocument::SaveFile, but they replace the
    // file only once they are all written, so a full disk or a crash keeps
    // the settings saved before; only a Preferences folder that takes no new
    // file has them written into the file in place.
    return write_file_atomically(preferences_path_, [&document](std::FILE* file) {
        return document.SaveFile(file);
    });
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
