#include "tinyxml_reference.h"

#include <tinyxml.h>

#include <cstdlib>
#include <cstring>

extern "C" __attribute__((visibility("default"))) int tinyxml_reference_parse(
    const char* text, int encoding, int condense, char** printed, std::size_t* printed_size, int* row,
    int* col) {
    TiXmlBase::SetCondenseWhiteSpace(condense != 0);
    TiXmlDocument document;
    document.Parse(text, nullptr, static_cast<TiXmlEncoding>(encoding));
    TiXmlPrinter printer;
    document.Accept(&printer);
    *printed_size = printer.Size();
    *printed = static_cast<char*>(std::malloc(printer.Size() + 1));
    if (*printed) std::memcpy(*printed, printer.CStr(), printer.Size() + 1);
    *row = document.ErrorRow();
    *col = document.ErrorCol();
    return document.ErrorId();
}
