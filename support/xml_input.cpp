#include "support/xml_input.h"

#include <cstring>

#include "support/file_utils.h"

namespace orvella {
namespace {

void parse(TiXmlDocument& document, const std::string& text, TiXmlEncoding encoding) {
    document.Parse(text.c_str(), nullptr, encoding);
    // What parsed before the limit would read as a partial document; a text
    // too deep reads as no XML instead.
    if (document.ErrorId() == TiXmlBase::TIXML_ERROR_ELEMENT_TOO_DEEP) document.Clear();
}

}  // namespace

void parse_xml_text(TiXmlDocument& document, std::string text, TiXmlEncoding encoding) {
    parse(document, text, encoding);
}

void parse_xml_buffer(TiXmlDocument& document, std::string& text, TiXmlEncoding encoding) {
    const std::size_t end = text.find('\0');
    if (end != std::string::npos) text.resize(end);
    parse(document, text, encoding);
}

std::string xml_text_copy(const char* text) { return text; }

void xml_text_assign(std::string& buffer, const char* text) {
    // A buffer kept from one reply to the next keeps its pages.
    buffer.assign(text, std::strlen(text));
}

bool load_xml_file(TiXmlDocument& document, TiXmlEncoding encoding) {
    document.Clear();
    std::string text;
    if (!read_regular_file(document.ValueStr(), kMaxXmlFileBytes, text)) return false;
    // The parse ends at the first NUL, as LoadFile's does.
    const std::size_t end = text.find('\0');
    const bool whole = end == std::string::npos;
    if (!whole) text.resize(end);
    // "\r\n" and a lone "\r" become "\n", in place.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            text[kept++] = text[i];
            continue;
        }
        text[kept++] = '\n';
        if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    }
    text.resize(kept);
    if (text.empty()) return whole;
    parse(document, text, encoding);
    return whole && !document.Error();
}

}  // namespace orvella
