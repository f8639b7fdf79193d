// The plug-in's settings record and its preferences file.
//
// The record knows the identifier, the preferences path, the two key names
// and the default textures directory; it is built once and read-only
// afterwards, so any thread may read its fields. The two setting values are
// not cached: every read loads the preferences file anew and every save
// loads, changes and rewrites it (host thread only).
#pragma once

#include <string>

class TiXmlDocument;
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
    // what it held before. Every file written reads whole and gives both
    // values as a read gives them: a file that would print larger than
    // kMaxXmlFileBytes is not saved, and a value that reads back in no file
    // (one that is not UTF-8, say) is refused. A file that exists but did not
    // read whole (a syntax error or anything else the parser stopped at
    // part-way, over the size bound or the node budget, nested too deep) is
    // rewritten from its declaration and root as far as they parsed; one
    // whose values would not read back so is replaced by a fresh document of
    // the two values. Either way its bytes are first kept under a second name
    // beside it (beside the file a link leads to, when the path is a symbolic
    // link), "NAME.unread" (or "NAME.unread 2" ... when taken by another
    // file), once: a name that already links to it is enough. When it cannot
    // be kept, nothing is saved. Only the file read is linked or replaced: a
    // file changed or created at the path since it was read stays as it is,
    // and the save fails.
    bool save_settings(const std::string& include_avatar, const std::string& textures_dir) const;

    // What a save writes over a preferences file: `bytes`, once the file
    // read is kept under a second name when `keep` says so.
    struct SavePlan {
        std::string bytes;
        bool keep = false;
    };
    // The save of both values over the preferences file read into
    // `document` (`whole`: it read whole), without touching any file: false
    // when nothing may be written, else `plan` (see save_settings). The
    // document may be changed.
    static bool plan_save(TiXmlDocument& document, bool whole, const std::string& include_avatar,
                          const std::string& textures_dir, SavePlan& plan);

    // From Orvella's OV9Settings.xml in its support directory; may be "".
    static std::string find_default_textures_dir();
    // The same from that file read into `document`.
    static std::string default_textures_dir_in(const TiXmlDocument& document);
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
