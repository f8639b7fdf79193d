#include "support/xml_input.h"

#include "support/file_utils.h"

namespace orvella {

bool parse_xml_text(TiXmlDocument& document, const std::string& text, TiXmlEncoding encoding) {
    const char* const stop = document.Parse(text.c_str(), nullptr, encoding);
    if (document.Error()) return false;
    // Parse returns where it stopped: the terminator, after white space, or
    // a null pointer when the last node's parse ended right at it.
    if (stop != nullptr) return *stop == '\0';
    // Only an element or a declaration reports being cut short.
    const TiXmlNode* last = document.LastChild();
    return last != nullptr && (last->ToElement() != nullptr || last->ToDeclaration() != nullptr);
}

bool parse_xml_file_bytes(TiXmlDocument& document, const std::string& bytes,
                          TiXmlEncoding encoding) {
    document.Clear();
    // The parse ends at the first NUL, as LoadFile's does; "\r\n" and a
    // lone "\r" become "\n". Text without either (what SaveFile prints) is
    // parsed as it stands.
    const std::size_t end = bytes.find('\0');
    const bool whole = end == std::string::npos;
    std::string converted;
    const std::string* text = &bytes;
    if (!whole || bytes.find('\r') != std::string::npos) {
        converted.reserve(whole ? bytes.size() : end);
        for (std::size_t i = 0; i < bytes.size() && bytes[i] != '\0'; ++i) {
            if (bytes[i] != '\r') {
                converted += bytes[i];
                continue;
            }
            converted += '\n';
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        }
        text = &converted;
    }
    if (text->empty()) return whole;
    document.SetNodeBudget(kXmlFileNodeBudget);
    const bool read = parse_xml_text(document, *text, encoding);
    // Too deep or too many nodes: a part would read as what the file does
    // not say, so nothing is read (the error stays).
    if (document.ErrorId() == TiXmlBase::TIXML_ERROR_ELEMENT_TOO_DEEP ||
        document.ErrorId() == TiXmlBase::TIXML_ERROR_OVER_NODE_BUDGET) {
        document.Clear();
    }
    return read && whole;
}

bool load_xml_file(TiXmlDocument& document, TiXmlEncoding encoding, FileVersion* version) {
    document.Clear();
    std::string bytes;
    if (!read_regular_file(document.ValueStr(), kMaxXmlFileBytes, bytes, version)) return false;
    return parse_xml_file_bytes(document, bytes, encoding);
}

}  // namespace orvella
