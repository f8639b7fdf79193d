#include "settings/plugin_settings.h"
#include "settings/plugin_settings_for_testing.h"

#include <strings.h>
#include <tinyxml.h>

#include <cstddef>
#include <cstdio>
#include <utility>

#include "support/atomic_file_write.h"
#include "support/file_link.h"
#include "support/file_version.h"
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
bool load(TiXmlDocument& document, FileVersion* version = nullptr) {
    return load_xml_file(document, TIXML_ENCODING_UNKNOWN, version);
}

// A save rewrites the file: before it replaces a file that did not read
// whole, or one it does not write back from what it read, that file is
// given a second name, which keeps its bytes without copying them. Once per
// file: a name that already links to it is enough. True when the save may
// go on.
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

// The bytes TiXmlDocument::SaveFile writes for `document`, when they stay
// within what a read takes (room left for a byte order mark, which SaveFile
// writes again when the text began with one). A document can print far
// larger than the text it was read from (SaveFile indents every level): that
// is counted before anything is printed. False also when the count was
// wrong: the bytes would not fit what it promised.
bool print_within_cap(const TiXmlDocument& document, std::string& bytes) {
    constexpr std::size_t kLargestText = kMaxXmlFileBytes - kXmlByteOrderMarkBytes;
    const std::size_t size = xml_saved_size(document, kLargestText);
    if (size > kLargestText) return false;
    // Printed into room for exactly that, a byte order mark and the
    // terminator fmemopen adds.
    bytes.assign(size + kXmlByteOrderMarkBytes + 1, '\0');
    std::FILE* stream = ::fmemopen(&bytes[0], bytes.size(), "w");
    if (stream == nullptr) return false;
    const bool printed = document.SaveFile(stream);
    const long written = std::ftell(stream);
    const bool closed = std::fclose(stream) == 0;
    if (!printed || !closed || written < 0 || static_cast<std::size_t>(written) >= bytes.size())
        return false;
    bytes.resize(static_cast<std::size_t>(written));
    return true;
}

// Whether the bytes are well-formed UTF-8 (no overlong form, surrogate or
// value above U+10FFFF).
bool valid_utf8(const std::string& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    while (p < end) {
        const unsigned lead = *p;
        int length = 1;
        unsigned code = lead;
        if (lead >= 0x80) {
            if (lead >= 0xC2 && lead <= 0xDF) length = 2, code = lead & 0x1F;
            else if (lead >= 0xE0 && lead <= 0xEF) length = 3, code = lead & 0x0F;
            else if (lead >= 0xF0 && lead <= 0xF4) length = 4, code = lead & 0x07;
            else return false;
            if (end - p < length) return false;
            for (int i = 1; i < length; ++i) {
                if ((p[i] & 0xC0) != 0x80) return false;
                code = (code << 6) | (p[i] & 0x3F);
            }
            if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) ||
                (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
                return false;
        }
        p += length;
    }
    return true;
}

// The two values of a preferences file as the next read will give them,
// when its bytes read whole, with at most one declaration, its first node.
// Read as UTF-8 (a byte order mark, or a declaration of UTF-8 or of no
// encoding), they must be UTF-8: TinyXML reads a lead byte with as many
// bytes after it as it announces, so a lone one would take in the line break
// the next save prints after it, and that save would not read back.
bool read_back(const std::string& bytes, StoredSettings& values) {
    TiXmlDocument document;
    if (!parse_xml_file_bytes(document, bytes, TIXML_ENCODING_UNKNOWN)) return false;
    for (const TiXmlNode* node = document.FirstChild(); node; node = node->NextSibling())
        if (node->ToDeclaration() && node != document.FirstChild()) return false;
    const TiXmlNode* first = document.FirstChild();
    const TiXmlDeclaration* declaration = first ? first->ToDeclaration() : nullptr;
    const std::string encoding = declaration ? declaration->Encoding() : "";
    const bool utf8 = bytes.compare(0, kXmlByteOrderMarkBytes, "\xEF\xBB\xBF") == 0 ||
                      (declaration && (encoding.empty() || ::strcasecmp(encoding.c_str(), "UTF-8") == 0 ||
                                       ::strcasecmp(encoding.c_str(), "UTF8") == 0));
    if (utf8 && !valid_utf8(bytes)) return false;
    values = {stored_value(document, kIncludeAvatarKey), stored_value(document, kTexturesDirKey)};
    return true;
}

bool same(const StoredSettings& a, const StoredSettings& b) {
    return a.include_avatar == b.include_avatar && a.textures_dir == b.textures_dir;
}

// A new preferences document holding `root` (or a new root element when
// null) after a declaration: `declaration` when there is one, else version
// 1.0 in UTF-8.
void start_document(TiXmlDocument& document, const TiXmlDeclaration* declaration,
                    const TiXmlElement* root) {
    if (declaration) {
        document.InsertEndChild(*declaration);
    } else {
        document.InsertEndChild(TiXmlDeclaration("1.0", "UTF-8", ""));
    }
    document.InsertEndChild(root ? *root : TiXmlElement(kRootName));
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
    FileVersion version;
    const bool whole = load(document, &version);
    SavePlan plan;
    if (!plan_save(document, whole, include_avatar, textures_dir, plan)) return false;
    // The bytes replace the file only once they are all written, so a full
    // disk or a crash keeps the settings saved before; only a Preferences
    // folder that takes no new file has them written into the file in
    // place. Only the file read is replaced or kept: one that changed since
    // (another program's write, a hand edit) stays as it is, and the save
    // fails.
    const auto write = [&plan](std::FILE* file) {
        return std::fwrite(plan.bytes.data(), 1, plan.bytes.size(), file) == plan.bytes.size();
    };
    return plan.keep ? write_file_atomically(preferences_path_, write, &version, keep_unread_file)
                     : write_file_atomically(preferences_path_, write, &version);
}

bool PluginSettings::plan_save(TiXmlDocument& document, bool whole,
                               const std::string& include_avatar,
                               const std::string& textures_dir, SavePlan& plan) {
    // A fresh document with both values: what a read gives for them, and
    // what is written when the file read cannot take them. A value that
    // does not read back even there (one that is not UTF-8, say, where a
    // lone lead byte swallows the "<" after it) is not stored.
    TiXmlDocument fresh;
    start_document(fresh, nullptr, nullptr);
    write_value(*fresh.FirstChildElement(), kIncludeAvatarKey, include_avatar);
    write_value(*fresh.FirstChildElement(), kTexturesDirKey, textures_dir);
    std::string fresh_bytes;
    StoredSettings expected;
    if (!print_within_cap(fresh, fresh_bytes) || !read_back(fresh_bytes, expected)) return false;

    // A file that read whole is written back with the values changed; one
    // that did not, from its first declaration and root as far as they
    // parsed: never what followed them, which may be a fragment of markup.
    TiXmlDocument rewritten;
    TiXmlDocument* candidate = &document;
    if (!whole) {
        // A declaration the parse stopped at holds no version.
        const TiXmlNode* first = document.FirstChild();
        const TiXmlDeclaration* declaration = first ? first->ToDeclaration() : nullptr;
        start_document(rewritten, declaration && *declaration->Version() ? declaration : nullptr,
                       document.FirstChildElement());
        candidate = &rewritten;
    }
    TiXmlElement* root = candidate->FirstChildElement();
    if (!root) {
        // A file of a declaration or comments alone takes the root after
        // them, and a declaration before them if it has none.
        const TiXmlNode* first = candidate->FirstChild();
        if (!first || !first->ToDeclaration()) {
            const TiXmlDeclaration declaration("1.0", "UTF-8", "");
            if (first) candidate->InsertBeforeChild(candidate->FirstChild(), declaration);
            else candidate->InsertEndChild(declaration);
        }
        root = candidate->InsertEndChild(TiXmlElement(kRootName))->ToElement();
    }
    write_value(*root, kIncludeAvatarKey, include_avatar);
    write_value(*root, kTexturesDirKey, textures_dir);
    // A file larger than a read takes would read as no settings at all: it
    // is not written. What loaded nests at most kMaxXmlDepth elements, and
    // the root, key element and text added here nest no deeper than 3:
    // SaveFile and the destructor recurse no deeper than the parse did.
    if (!print_within_cap(*candidate, plan.bytes)) return false;
    // What is written must read whole and give the values as a read gives
    // them; what does not is replaced by the fresh document, and the file
    // it would have been written from is kept.
    StoredSettings written;
    const bool reads_back = read_back(plan.bytes, written) && same(written, expected);
    if (!reads_back) plan.bytes.swap(fresh_bytes);
    plan.keep = !whole || !reads_back;
    return true;
}

std::string stored_value_in(const TiXmlDocument& document, const std::string& key) {
    return stored_value(document, key);
}

std::string PluginSettings::find_default_textures_dir() {
    TiXmlDocument document(installation_finder().orvella_support_directory() +
                           kOrvellaSettingsName);
    load(document);
    return default_textures_dir_in(document);
}

std::string PluginSettings::default_textures_dir_in(const TiXmlDocument& document) {
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
