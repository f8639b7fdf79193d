// The plug-in's settings record and its preferences file.
//
// The record knows the identifier, the preferences path, the two key names
// and the default textures directory; it is built once and read-only
// afterwards, so any thread may read its fields. The two setting values are
// not cached: every read loads the preferences file anew and every save
// loads, changes and rewrites it (host thread only).
#pragma once

#include <string>

class TiXmlElement;

namespace orvella {

// The two settings as the settings window and the render command use them.
struct StoredSettings {
    std::string include_avatar;
    std::string textures_dir;
};

class PluginSettings {
public:
    PluginSettings();

    std::string identifier() const { return identifier_; }
    std::string default_textures_dir() const { return default_textures_dir_; }
    std::string preferences_path() const { return preferences_path_; }

    // Both values from one read of the preferences file: the stored
    // "IncludeAvatar" text, or "false" when none or empty is stored; the
    // stored "TexturesDir" text, or default_textures_dir() when none or empty
    // is stored.
    StoredSettings read_settings() const;
    // Writes both values into the preferences file, keeping everything else
    // that it read of it. True once both are stored; on false the file holds
    // what it held before. Nothing is written that the next read would
    // refuse: a file that would print larger than kMaxXmlFileBytes is not
    // saved. A file that exists but did not read whole (a syntax error or
    // anything else the parser stopped at part-way, over the size bound,
    // nested too deep) is rewritten from the part that parsed, so its bytes
    // are first kept under a second name beside it (beside the file a link
    // leads to, when the path is a symbolic link), "NAME.unread" (or
    // "NAME.unread 2" ... when taken by another file), once: a name that
    // already links to it is enough. When it cannot be kept, nothing is saved.
    bool save_settings(const std::string& include_avatar, const std::string& textures_dir) const;

    // From Orvella's OV9Settings.xml in its support directory; may be "".
    static std::string find_default_textures_dir();
    // Makes the key element hold a text node with `value` and nothing else,
    // appending the element as the root's last child when it is missing.
    static void write_value(TiXmlElement& root, const std::string& key, const std::string& value);

private:
    std::string identifier_;
    std::string default_textures_dir_;
    std::string include_avatar_key_;
    std::string preferences_path_;
    std::string textures_dir_key_;
};

// The one record, built on first use (thread-safe) and destroyed at unload.
const PluginSettings& plugin_settings();

}  // namespace orvella
