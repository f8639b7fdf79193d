#include "tinyxml_reference.h"

#include <tinyxml.h>

#include <cstdlib>
#include <cstring>

#include "tinyxml_canonical.h"

extern "C" __attribute__((visibility("default"))) int tinyxml_reference_parse(
    const char* text, int encoding, int condense, char** canonical, std::size_t* canonical_size,
    int* row, int* col) {
    TiXmlBase::SetCondenseWhiteSpace(condense != 0);
    TiXmlDocument document;
    document.Parse(text, nullptr, static_cast<TiXmlEncoding>(encoding));
    const std::string nodes = tinyxml_canonical(document);
    *canonical_size = nodes.size();
    *canonical = static_cast<char*>(std::malloc(nodes.size() + 1));
    if (*canonical) std::memcpy(*canonical, nodes.c_str(), nodes.size() + 1);
    *row = document.ErrorRow();
    *col = document.ErrorCol();
    return document.ErrorId();
}

extern "C" __attribute__((visibility("default"))) int tinyxml_reference_parse_only(const char* text) {
    TiXmlDocument document;
    document.Parse(text);
    return document.ErrorId();
}
