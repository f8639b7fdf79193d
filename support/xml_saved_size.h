// The size of what TiXmlDocument::SaveFile writes for a document, counted
// without printing it.
//
// SaveFile indents every node by four spaces per level, so a document can
// print far larger than the text it was read from (a branch nested a
// thousand levels deep prints about two thousand times its size). A writer
// that must stay within a bound learns here, at the cost of a walk over the
// nodes, whether it would, before anything is printed.
#pragma once

#include <tinyxml.h>

#include <cstddef>

namespace orvella {

// The number of bytes TiXmlDocument::SaveFile(FILE*) writes for `document`,
// not counting the byte order mark (3 bytes) it writes first when the text
// the document was parsed from began with one. Once the count passes `limit`
// it stops, and the result is then some number above `limit`: the walk never
// goes further than the nodes that print the first `limit` + 1 bytes.
std::size_t xml_saved_size(const TiXmlDocument& document, std::size_t limit);

// What a byte order mark adds to xml_saved_size.
constexpr std::size_t kXmlByteOrderMarkBytes = 3;

}  // namespace orvella
