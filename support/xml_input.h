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
// on are in docs/stack.md ("Nesting limit"). Real documents are far
// shallower: the settings files nest 2 to 4 levels, and the scene search
// looks 4 levels deep.
constexpr std::size_t kMaxXmlDepth = TIXML_MAX_ELEMENT_DEPTH;

// TiXmlDocument::Parse of `text` (up to its first NUL). True when the parse
// reached the end of the text without an error: TinyXML also stops quietly,
// without an error, at what it does not take for a node (text at the top
// level, what follows the first ">" of an internal DTD subset), and such a
// text does not read whole.
bool parse_xml_text(TiXmlDocument& document, const std::string& text,
                    TiXmlEncoding encoding = TIXML_DEFAULT_ENCODING);

// The largest preferences or settings file read; a larger file reads as an
// unreadable one, without being read. Set by what the worst file costs the
// host's thread, which reads it within one event: at most 64 MiB of memory
// and 100 ms of processor time. The worst shape per byte is a flood of empty
// elements between one-character texts ("<b/>x"): about 71 bytes of memory
// per byte of file, so 800 KiB takes about 56 MiB (docs/benchmarks.md,
// "The settings files at their caps"). Both files hold a few short values;
// the preferences file must also take back the longest reply the settings
// window accepts, 64 KiB, which entity references can grow sixfold and which
// may be stored twice: 768 KiB.
constexpr std::size_t kMaxXmlFileBytes = 800 << 10;

// TiXmlDocument::LoadFile of the document's own file name: the file read
// whole, "\r\n" and a lone "\r" turned into "\n", then parsed up to its
// first NUL. A missing, unreadable or empty file leaves the document empty,
// and so does anything that is not a regular file of at most
// kMaxXmlFileBytes (a directory, a device such as /dev/zero, a FIFO), which
// is not read and never blocks. Throws nothing but bad_alloc.
//
// True when the file read whole: a regular file within the bound, read to
// its end, holding no NUL, and parsed to its end without an error (an empty
// file counts). False otherwise, a missing file included: the document then
// holds at most a part of what the file holds.
bool load_xml_file(TiXmlDocument& document, TiXmlEncoding encoding);

}  // namespace orvella
