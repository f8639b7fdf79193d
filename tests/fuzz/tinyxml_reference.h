// The entry point of the reference parser: TinyXML built from Debian's
// source with Debian's patches only, alone in a library of its own
// (tinyxml_reference.cpp), whose classes never meet the patched ones.
#pragma once

#include <cstddef>

extern "C" {

// Parses `text` (up to its first NUL, which must be followed by three more
// zero bytes: this parser may read that far past it) with white space
// condensed or not, prints the document with TiXmlPrinter into a buffer
// from malloc (*printed, *printed_size; the caller frees it), and returns
// the document's ErrorId, with its ErrorRow and ErrorCol in *row and *col.
using TinyXmlReferenceParse = int (*)(const char* text, int encoding, int condense, char** printed,
                                      std::size_t* printed_size, int* row, int* col);
int tinyxml_reference_parse(const char* text, int encoding, int condense, char** printed,
                            std::size_t* printed_size, int* row, int* col);
}
