// Reading outside XML (the preferences file, Orvella's settings file, a
// renderer's scene reply) into a TinyXML document without reading past it.
//
// TinyXML 2.6 steps over the terminating NUL when a text ends inside a
// multi-byte UTF-8 character, and reads on beyond the buffer: a reply cut in
// the middle of a Cyrillic name could take the host down. These parse only
// from a buffer that ends in enough NULs to stop it there. Like TinyXML's own
// calls they report nothing: parse errors leave whatever was built.
#pragma once

#include <tinyxml.h>

#include <string>

namespace orvella {

// TiXmlDocument::Parse of `text` (up to its first NUL). Pads `text` in
// place, so a text from xml_text_copy is parsed without another copy.
void parse_xml_text(TiXmlDocument& document, std::string text,
                    TiXmlEncoding encoding = TIXML_DEFAULT_ENCODING);

// A copy of a NUL-terminated text with room for the padding.
std::string xml_text_copy(const char* text);

// TiXmlDocument::LoadFile of the document's own file name: the file read
// whole, "\r\n" and a lone "\r" turned into "\n", then parsed up to its
// first NUL. A missing, unreadable or empty file leaves the document empty.
void load_xml_file(TiXmlDocument& document, TiXmlEncoding encoding);

}  // namespace orvella
