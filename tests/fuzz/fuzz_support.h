// What the fuzz targets of the settings store share: a throw-away home, so
// the preferences file they write is never the user's, and small file and
// XML helpers.
#pragma once

#include <string>

namespace orvella_fuzz {

// Makes a fresh folder under $TMPDIR (or /tmp) the process's HOME and working
// directory, with Library/Preferences inside and a few folders whose names
// need escaping in XML; the whole folder is removed at exit. Call from
// LLVMFuzzerInitialize, before the first plugin_settings().
std::string make_throwaway_home();

// The folder names make_throwaway_home creates in the home (relative names,
// so the working directory finds them).
extern const char* const kHomeFolders[];
extern const int kHomeFolderCount;

std::string read_file(const std::string& path);  // "" when missing
void write_file(const std::string& path, const std::string& bytes);  // aborts on failure

// What the two values read back as from a fresh preferences file holding
// them (a UTF-8 declaration, a root and the two elements, as TinyXML prints
// them), read as the store reads a file: what a read gives for them. False
// when that file does not read whole or is not UTF-8 (a value with a lone
// UTF-8 lead byte, which takes the "<" after it, say).
bool fresh_file_reads(const std::string& include_avatar, const std::string& textures_dir,
                      std::string& avatar_back, std::string& dir_back);

// Whether the bytes are well-formed UTF-8. TinyXML reads a UTF-8 document by
// the lengths its lead bytes announce, whatever follows them, so text that
// is not UTF-8 may not survive a save and a load (nor leave the markup after
// it intact). Names of folders on the plug-in's platform and texts from the
// settings page are always UTF-8; the exact round-trip properties are checked
// for those, everything else only for crashes, reports and leaks.
bool is_utf8(const std::string& bytes);

}  // namespace orvella_fuzz
