#include "support/xml_input.h"

#include "support/file_utils.h"

namespace orvella {

bool parse_xml_text(TiXmlDocument& document, const std::string& text, TiXmlEncoding encoding) {
    const char* const stop = document.Parse(text.c_str(), nullptr, encoding);
    // What parsed before the limit would read as a partial document; a text
    // too deep reads as no XML instead.
    if (document.ErrorId() == TiXmlBase::TIXML_ERROR_ELEMENT_TOO_DEEP) document.Clear();
    // Parse returns where it stopped: the terminator, or a null pointer when
    // the last node ended right at it.
    return !document.Error() && (stop == nullptr || *stop == '\0');
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
    return parse_xml_text(document, text, encoding) && whole;
}

}  // namespace orvella
