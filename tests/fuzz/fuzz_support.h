// What the fuzz targets of the settings store share: a throw-away home, so
// the preferences file they write is never the user's, and small file and
// XML helpers.
#pragma once

#include <string>

class TiXmlDocument;

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

// A saved file's byte-order mark, if it has one, and its top-level nodes
// before the root element, printed: the mark or a declaration decides how
// TinyXML reads the rest (as UTF-8, or byte by byte when there is neither or
// the declaration names another encoding).
std::string prologue_of(const std::string& saved);

// What a text stored as an element's only text node reads back as, after
// TinyXML prints it and loads it again behind `prologue` (as LoadFile reads a
// file, with its default white-space condensing): the library's own round
// trip, which the store keeps. The reading depends on the encoding the
// prologue settles: a leading byte-order mark, for one, is white space to a
// UTF-8 reading and text to a byte-wise one.
std::string tinyxml_round_trip(const std::string& value, const std::string& prologue);

// Parses `bytes` as TiXmlDocument::LoadFile reads a file (line ends made
// "\n", the encoding found from the text, the text ending at its first zero
// byte), through the plug-in's own parse_xml_text. A text nested deeper than
// the plug-in parses is not read: the document stays empty and in error,
// and the result is false.
bool parse_as_loaded(TiXmlDocument& document, const std::string& bytes);

// The bytes TiXmlDocument::SaveFile writes for the document, which is what
// the store writes: a document read with a byte-order mark keeps it.
std::string saved_bytes(const TiXmlDocument& document);

// Whether the document loaded without error and reads back, saved as
// SaveFile saves it and loaded again, as the same document (its saved bytes
// unchanged). The reading after a save may differ from the first one: a
// byte-order mark that the document kept makes it UTF-8, where a mark
// leading a text is white space.
bool tinyxml_save_is_stable(const TiXmlDocument& document);

// Whether the bytes are well-formed UTF-8. TinyXML reads a UTF-8 document by
// the lengths its lead bytes announce, whatever follows them, so text that
// is not UTF-8 may not survive a save and a load (nor leave the markup after
// it intact). Names of folders on the plug-in's platform and texts from the
// settings page are always UTF-8; the exact round-trip properties are checked
// for those, everything else only for crashes, reports and leaks.
bool is_utf8(const std::string& bytes);

}  // namespace orvella_fuzz
