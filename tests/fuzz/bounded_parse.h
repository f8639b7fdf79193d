// The fuzz targets' own readings of outside XML, bounded as the plug-in's
// are, and the nesting limit of the TinyXML we build held to what it builds.
#pragma once

#include <tinyxml.h>

#include <cstddef>

namespace orvella_fuzz {

// TiXmlDocument::Parse of `text`. A text nesting deeper than
// orvella::kMaxXmlDepth leaves the document empty and in error, as the
// plug-in reads it; checks that the parse stopped there exactly when the
// elements it built reached past the limit, and that nothing it kept lies
// deeper. Returns whether the text was within the limit.
bool parse_within_limit(TiXmlDocument& document, const char* text, TiXmlEncoding encoding);

// The deepest element of the document (the outermost counting 1; 0 when it
// has none), found without recursion.
std::size_t element_depth(const TiXmlDocument& document);

}  // namespace orvella_fuzz
