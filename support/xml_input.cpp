#include "support/xml_input.h"

#include <cstring>

#include "support/file_utils.h"
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

// Every element begins at a '<' of its own: a text with no more of them than
// kMaxXmlDepth cannot nest deeper, and needs no walk (which costs a small
// text about half its parse).
bool has_few_tags(const std::string& text) {
    std::size_t count = 0;
    const char* const end = text.data() + text.size();
    for (const char* p = text.data();
         (p = static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(end - p)))) !=
         nullptr;
         ++p)
        if (++count > kMaxXmlDepth) return false;
    return true;
}

void parse_padded(TiXmlDocument& document, std::string& text, TiXmlEncoding encoding) {
    // Only ever grown: a reserve below the capacity may shrink the buffer.
    if (text.capacity() < capacity_for(text.size())) text.reserve(capacity_for(text.size()));
    text.append(kPadding, '\0');
    if (!has_few_tags(text) && xml_element_depth(text.c_str(), encoding, kMaxXmlDepth) > kMaxXmlDepth) {
        document.ClearError();
        document.SetError(TiXmlBase::TIXML_ERROR, nullptr, nullptr, encoding);
        return;
    }
    document.Parse(text.c_str(), nullptr, encoding);
}

}  // namespace

void parse_xml_text(TiXmlDocument& document, std::string text, TiXmlEncoding encoding) {
    parse_xml_buffer(document, text, encoding);
}

void parse_xml_buffer(TiXmlDocument& document, std::string& text, TiXmlEncoding encoding) {
    const std::size_t end = text.find('\0');
    if (end != std::string::npos) text.resize(end);
    const std::size_t length = text.size();
    parse_padded(document, text, encoding);
    text.resize(length);
}

std::string xml_text_copy(const char* text) {
    std::string copy;
    xml_text_assign(copy, text);
    return copy;
}

void xml_text_assign(std::string& buffer, const char* text) {
    const std::size_t length = std::strlen(text);
    // A buffer kept from one reply to the next keeps its pages.
    if (buffer.capacity() < capacity_for(length)) buffer.reserve(capacity_for(length));
    buffer.assign(text, length);
}

bool load_xml_file(TiXmlDocument& document, TiXmlEncoding encoding) {
    document.Clear();
    std::string text;
    if (!read_regular_file(document.ValueStr(), kMaxXmlFileBytes, text)) return false;
    // The parse ends at the first NUL, as LoadFile's does; what follows one
    // would otherwise lie between the text and its padding.
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
    parse_padded(document, text, encoding);
    return whole && !document.Error();
}

}  // namespace orvella
