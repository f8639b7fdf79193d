// A document as a text that two parsers' trees can be compared by, node for
// node in document order: each node's type and value (a declaration's three
// parts, a text's CDATA mark), an element's attributes in order, "(" and ")"
// around children. Built without recursion and without indentation, so it
// costs time in proportion to the nodes whatever their depth. Compiled
// against whichever TinyXML includes it: ours, or Debian's in
// tinyxml_reference.cpp.
#pragma once

#include <tinyxml.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

inline void canonical_append(std::string& out, char kind, const char* text) {
    const std::size_t size = text != nullptr ? std::strlen(text) : 0;
    char length[24];
    const int digits = std::snprintf(length, sizeof length, "%zu", size);
    out += kind;
    out.append(length, static_cast<std::size_t>(digits));
    out += ':';
    out.append(text != nullptr ? text : "", size);
}

inline std::string tinyxml_canonical(const TiXmlNode& root) {
    std::string out;
    out.reserve(256);
    const TiXmlNode* node = root.FirstChild();
    while (node != nullptr) {
        canonical_append(out, static_cast<char>('0' + node->Type()), node->Value());
        if (const TiXmlText* text = node->ToText()) out += text->CDATA() ? 'C' : 'T';
        if (const TiXmlDeclaration* declaration = node->ToDeclaration()) {
            canonical_append(out, 'v', declaration->Version());
            canonical_append(out, 'e', declaration->Encoding());
            canonical_append(out, 's', declaration->Standalone());
        }
        if (const TiXmlElement* element = node->ToElement()) {
            for (const TiXmlAttribute* a = element->FirstAttribute(); a != nullptr; a = a->Next()) {
                canonical_append(out, 'a', a->Name());
                canonical_append(out, '=', a->Value());
            }
        }
        out += '\n';
        if (const TiXmlNode* child = node->FirstChild()) {
            out += "(\n";
            node = child;
            continue;
        }
        while (node != &root && node->NextSibling() == nullptr) {
            node = node->Parent();
            if (node != &root) out += ")\n";
        }
        node = node == &root ? nullptr : node->NextSibling();
    }
    return out;
}

}  // namespace
