// Reading outside XML (the preferences file, Orvella's settings file, a
// renderer's scene reply) into a TinyXML document. Like TinyXML's own calls
// these report nothing: parse errors leave whatever was built.
//
// TinyXML parses (and prints, copies and destroys) with one nested call per
// level of elements. The TinyXML we build (patches/tinyxml) stops its parse
// at an element deeper than kMaxXmlDepth; such a text is not read at all:
// the document stays empty and in error, as for a text that is no XML.
#pragma once

#include <tinyxml.h>

#include <cstddef>
#include <string>

namespace orvella {

// The deepest element TinyXML parses. Its stack per level, measured for each
// build, and the stack that leaves on the smallest thread anything is parsed
// on are in docs/benchmarks.md ("Nesting limit"). Real documents are far
// shallower: the settings files nest 2 to 4 levels, and the scene search
// looks 4 levels deep.
constexpr std::size_t kMaxXmlDepth = TIXML_MAX_ELEMENT_DEPTH;

// TiXmlDocument::Parse of `text` (up to its first NUL).
void parse_xml_text(TiXmlDocument& document, const std::string& text,
                    TiXmlEncoding encoding = TIXML_DEFAULT_ENCODING);

// The largest preferences or settings file read: both hold a few short
// values, so 4 MiB is far above any real one. A larger file reads as an
// unreadable one, without being read.
constexpr std::size_t kMaxXmlFileBytes = 4 << 20;

// TiXmlDocument::LoadFile of the document's own file name: the file read
// whole, "\r\n" and a lone "\r" turned into "\n", then parsed up to its
// first NUL. A missing, unreadable or empty file leaves the document empty,
// and so does anything that is not a regular file of at most
// kMaxXmlFileBytes (a directory, a device such as /dev/zero, a FIFO), which
// is not read and never blocks. Throws nothing but bad_alloc.
//
// True when the file read whole: a regular file within the bound, read to
// its end, holding no NUL, and parsed without an error (an empty file
// counts). False otherwise, a missing file included: the document then
// holds at most a part of what the file holds.
bool load_xml_file(TiXmlDocument& document, TiXmlEncoding encoding);

}  // namespace orvella
