// The fuzz targets' own readings of outside XML, bounded as the plug-in's
// are, and the nesting measure held to what TinyXML builds: it may say more
// than the parse nests, never less, and it says what the byte-by-byte
// replay of the parse says.
#pragma once

#include <tinyxml.h>

#include <cstddef>

namespace orvella_fuzz {

// TiXmlDocument::Parse of `padded` (a text followed by four zero bytes),
// unless orvella::xml_element_depth puts it past orvella::kMaxXmlDepth:
// then, as the plug-in does, nothing is parsed. Checks that the measure
// equals orvella::xml_element_depth_stepwise and, after a parse, that no
// element of the document lies deeper than the measure said. Returns
// whether it parsed.
bool parse_within_limit(TiXmlDocument& document, const char* padded, TiXmlEncoding encoding);

// The deepest element of the document (the outermost counting 1; 0 when it
// has none), found without recursion.
std::size_t element_depth(const TiXmlDocument& document);

}  // namespace orvella_fuzz
