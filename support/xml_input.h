// Reading outside XML (the preferences file, Orvella's settings file, a
// renderer's scene reply) into a TinyXML document. Like TinyXML's own calls
// these report nothing: parse errors leave whatever was built.
//
// TinyXML parses (and prints, copies and destroys) with one nested call per
// level of elements. The TinyXML we build (patches/tinyxml) stops its parse
// at an element deeper than kMaxXmlDepth, and at the first node past a
// document's node budget. A reply stopped by either is searched over what
// was read; a settings file stopped by either is not read at all: the
// document stays empty and in error, as for a text that is no XML.
#pragma once

#include <tinyxml.h>

#include <cstddef>
#include <string>

#include "support/file_version.h"

namespace orvella {

// The deepest element TinyXML parses. Its stack per level, measured for each
// build, and the stack that leaves on the smallest thread anything is parsed
// on are in docs/stack.md ("Nesting limit"). Real documents are far
// shallower: the settings files nest 2 to 4 levels, and the scene search
// looks 4 levels deep.
constexpr std::size_t kMaxXmlDepth = TIXML_MAX_ELEMENT_DEPTH;

// TiXmlDocument::Parse of `text` (up to its first NUL). True when the parse
// read the text whole: no error, and it reached the end of the text after a
// node that ended there. TinyXML also stops quietly, without an error, at
// what it does not take for a node (text at the top level, what follows the
// first ">" of an internal DTD subset), and a comment, CDATA section or
// unknown node that is never closed runs to the end of the text without an
// error: only an element or a declaration (patches/tinyxml) reports being
// cut short, so a text that ends right at its last node reads whole only
// when that node is one of them.
bool parse_xml_text(TiXmlDocument& document, const std::string& text,
                    TiXmlEncoding encoding = TIXML_DEFAULT_ENCODING);

// The largest preferences or settings file read; a larger file reads as an
// unreadable one, without being read. With kXmlFileNodeBudget it bounds what
// the worst file costs the host's thread, which reads it within one event,
// a save's reading back of what it writes included: at most 200 million
// instructions and 32 MiB (docs/benchmarks.md, "The settings files at their
// caps"). Both files hold a few short values; the preferences file must also
// take back the longest reply the settings window accepts, 64 KiB, which
// entity references can grow sixfold and which may be stored twice: 768 KiB.
constexpr std::size_t kMaxXmlFileBytes = 800 << 10;

// What a settings file's parse may take in nodes (TiXmlDocument's node
// budget, in bytes of nodes and attributes by their size). Past it the file
// does not read: the bytes bound the text, the budget the nodes, which cost
// up to 80 times their bytes in memory (a flood of empty unknown nodes
// between one-character texts, "<>x"). A real preferences file takes a few
// hundred bytes of it.
constexpr std::size_t kXmlFileNodeBudget = std::size_t{4} << 20;

// The bytes of a settings file parsed as TiXmlDocument::LoadFile parses a
// file: "\r\n" and a lone "\r" turned into "\n", the text ending at its first
// NUL, within kXmlFileNodeBudget. True when they read whole: no NUL, and
// parse_xml_text's whole (empty bytes count). A text nested deeper than
// kMaxXmlDepth or past the node budget leaves the document empty.
bool parse_xml_file_bytes(TiXmlDocument& document, const std::string& bytes,
                          TiXmlEncoding encoding);

// TiXmlDocument::LoadFile of the document's own file name, through
// parse_xml_file_bytes. A missing, unreadable or empty file leaves the
// document empty, and so does anything that is not a regular file of at most
// kMaxXmlFileBytes (a directory, a device such as /dev/zero, a FIFO), which
// is not read and never blocks. Throws nothing but bad_alloc. `version`,
// when given, is that of the file read (read_regular_file).
//
// True when the file read whole: a regular file within the bound, read to
// its end, and its bytes read whole. False otherwise, a missing file
// included: the document then holds at most a part of what the file holds.
bool load_xml_file(TiXmlDocument& document, TiXmlEncoding encoding,
                   FileVersion* version = nullptr);

}  // namespace orvella
