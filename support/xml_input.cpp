#include "support/xml_input.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "support/xml_nesting.h"

namespace orvella {
namespace {

// A four-byte lead byte just before the terminator makes TinyXML skip at
// most three bytes past it; a fourth NUL is the terminator of its own.
constexpr std::size_t kPadding = 4;
// Past any string's in-object buffer: the text and its padding then share
// one heap block, where memory checkers see them as one.
constexpr std::size_t kLeastCapacity = 64;

std::size_t capacity_for(std::size_t length) {
    return length + kPadding < kLeastCapacity ? kLeastCapacity : length + kPadding;
}

void parse_padded(TiXmlDocument& document, std::string& text, TiXmlEncoding encoding) {
    text.reserve(capacity_for(text.size()));
    text.append(kPadding, '\0');
    if (xml_element_depth(text.c_str(), encoding, kMaxXmlDepth) > kMaxXmlDepth) {
        document.ClearError();
        document.SetError(TiXmlBase::TIXML_ERROR, nullptr, nullptr, encoding);
        return;
    }
    document.Parse(text.c_str(), nullptr, encoding);
}

}  // namespace

void parse_xml_text(TiXmlDocument& document, std::string text, TiXmlEncoding encoding) {
    const std::size_t end = text.find('\0');
    if (end != std::string::npos) text.resize(end);
    parse_padded(document, text, encoding);
}

std::string xml_text_copy(const char* text) {
    const std::size_t length = std::strlen(text);
    std::string copy;
    copy.reserve(capacity_for(length));
    copy.assign(text, length);
    return copy;
}

void load_xml_file(TiXmlDocument& document, TiXmlEncoding encoding) {
    document.Clear();
    std::ifstream file(document.ValueStr(), std::ios::binary);
    if (!file) return;
    const std::string raw((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::string text;
    text.reserve(capacity_for(raw.size()));
    // The parse ends at the first NUL, as LoadFile's does; what follows one
    // would otherwise lie between the text and its padding.
    for (std::size_t i = 0; i < raw.size() && raw[i] != '\0'; ++i) {
        if (raw[i] != '\r') {
            text += raw[i];
            continue;
        }
        text += '\n';
        if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
    }
    if (text.empty()) return;
    parse_padded(document, text, encoding);
}

}  // namespace orvella
