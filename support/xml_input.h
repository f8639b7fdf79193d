// Reading outside XML (the preferences file, Orvella's settings file, a
// renderer's scene reply) into a TinyXML document without reading past it.
//
// TinyXML 2.6 steps over the terminating NUL when a text ends inside a
// multi-byte UTF-8 character, and reads on beyond the buffer: a reply cut in
// the middle of a Cyrillic name could take the host down. These parse only
// from a buffer that ends in enough NULs to stop it there. Like TinyXML's own
// calls they report nothing: parse errors leave whatever was built.
//
// TinyXML also parses (and prints, copies and destroys) with one nested call
// per level of elements, so a deep enough document overflows any stack. A
// text nesting elements deeper than kMaxXmlDepth is not parsed at all: the
// document stays empty and in error, as for a text that is no XML.
#pragma once

#include <tinyxml.h>

#include <cstddef>
#include <string>

namespace orvella {

// 128 levels stay within an eighth of the 512 KiB a secondary thread gets on
// macOS, the smallest stack anything is parsed on, even with TinyXML itself
// instrumented (stack per level, measured for each build: docs/benchmarks.md,
// "Stack"). Real documents are far shallower: the settings files nest 2 to 4
// levels, and the scene search looks 4 levels deep.
constexpr std::size_t kMaxXmlDepth = 128;

// TiXmlDocument::Parse of `text` (up to its first NUL). Pads `text` in
// place, so a text from xml_text_copy is parsed without another copy.
void parse_xml_text(TiXmlDocument& document, std::string text,
                    TiXmlEncoding encoding = TIXML_DEFAULT_ENCODING);

// The same parse of `text` where it lies: the padding is added for the parse
// and taken off again, so `text` (cut at its first NUL) keeps its bytes and
// its buffer for the next text.
void parse_xml_buffer(TiXmlDocument& document, std::string& text,
                      TiXmlEncoding encoding = TIXML_DEFAULT_ENCODING);

// A copy of a NUL-terminated text with room for the padding.
std::string xml_text_copy(const char* text);
// The same copy into `buffer`, which keeps its capacity when that suffices.
void xml_text_assign(std::string& buffer, const char* text);

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
