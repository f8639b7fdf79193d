// How deeply TinyXML 2.6 nests elements when it parses a text, found without
// parsing it. TinyXML parses, prints, copies and destroys a document with one
// nested call per level of elements, so this depth is what a parse, and the
// document it builds, would ask of the stack.
#pragma once

#include <tinyxml.h>

#include <cstddef>

namespace orvella {

// The deepest element nesting TiXmlDocument::Parse(text, nullptr, encoding)
// reaches, counting the outermost element as 1 (0 when it builds no
// element), or more: never less. Stops reading, and returns limit + 1, as
// soon as the nesting passes `limit`. Reads `text` as the parser reads it, so
// the text must be followed by the padding parse_xml_text gives it (TinyXML
// reads up to three bytes past a text that ends inside a UTF-8 character).
std::size_t xml_element_depth(const char* text, TiXmlEncoding encoding, std::size_t limit);

// The same measure with every byte taken by TinyXML's own helpers, one at a
// time, where xml_element_depth passes runs of bytes that every locale and
// encoding read alike without them. The two always agree; the fuzz targets
// hold them to that.
std::size_t xml_element_depth_stepwise(const char* text, TiXmlEncoding encoding, std::size_t limit);

}  // namespace orvella
