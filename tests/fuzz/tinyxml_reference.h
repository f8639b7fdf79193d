// The entry points of the reference parser: TinyXML built from Debian's
// source with Debian's patches only, alone in a library of its own
// (tinyxml_reference.cpp), whose classes never meet the patched ones.
#pragma once

#include <cstddef>

extern "C" {

// Parses `text` (up to its first NUL, which must be followed by three more
// zero bytes: this parser may read that far past it) with white space
// condensed or not, writes the document's tinyxml_canonical text into a
// buffer from malloc (*canonical, *canonical_size; the caller frees it), and
// returns the document's ErrorId, with its ErrorRow and ErrorCol in *row and
// *col.
using TinyXmlReferenceParse = int (*)(const char* text, int encoding, int condense,
                                      char** canonical, std::size_t* canonical_size, int* row,
                                      int* col);
int tinyxml_reference_parse(const char* text, int encoding, int condense, char** canonical,
                            std::size_t* canonical_size, int* row, int* col);

// Constructs a document, parses `text` (padded as above) and destroys it:
// what a benchmark holds our parser's cost to. Returns the ErrorId.
using TinyXmlReferenceParseOnly = int (*)(const char* text);
int tinyxml_reference_parse_only(const char* text);
}
