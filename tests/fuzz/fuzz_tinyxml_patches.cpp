// The TinyXML we build (Debian's source, Debian's patches and ours) against
// Debian's alone: within our nesting limit and the document's node budget,
// both build the same document and end in the same error state. The first
// input byte picks the encoding, white-space condensing and whether the
// document has a node budget (a small one, which a few nodes exhaust); the
// rest, up to its first zero byte, is the text. Ours parses through
// guarded_parse.cpp, so a read past the text faults; Debian's (which may read
// three bytes past a text that ends inside a UTF-8 sequence) parses a copy
// followed by zero bytes. Both run on the hand-off thread's stack: past the
// limit ours stops at the first element too deep, past the budget it stops
// with what it built within it, and Debian's is not asked; nor where ours
// reads a declaration or unknown node Debian's reads in part, or a character
// reference outside UTF-8 Debian's cuts to a byte.
#include <dlfcn.h>
#include <strings.h>

#include <tinyxml.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_check.h"
#include "small_stack.h"
#include "support/xml_input.h"
#include "tinyxml_reference.h"

namespace {

TinyXmlReferenceParse reference_parse = nullptr;

// The deepest element of the document (the outermost counting 1; 0 when it
// has none), found without recursion.
std::size_t element_depth(const TiXmlDocument& document) {
    std::size_t deepest = 0;
    std::vector<std::pair<const TiXmlNode*, std::size_t>> pending{{&document, 0}};
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        for (const TiXmlNode* child = node->FirstChild(); child; child = child->NextSibling()) {
            if (!child->ToElement()) continue;
            if (depth + 1 > deepest) deepest = depth + 1;
            pending.emplace_back(child, depth + 1);
        }
    }
    return deepest;
}

// Room for a few nodes and attributes, so that the budget stops many inputs.
constexpr std::size_t kFuzzNodeBudget = 2048;

// What the node budget charged at least for the nodes below `node` and
// their attributes (the names of a long attribute list are charged too).
std::size_t charged_below(const TiXmlNode* node) {
    std::size_t bytes = 0;
    for (const TiXmlNode* child = node->FirstChild(); child; child = child->NextSibling()) {
        switch (child->Type()) {
            case TiXmlNode::TINYXML_ELEMENT: bytes += sizeof(TiXmlElement); break;
            case TiXmlNode::TINYXML_COMMENT: bytes += sizeof(TiXmlComment); break;
            case TiXmlNode::TINYXML_TEXT: bytes += sizeof(TiXmlText); break;
            case TiXmlNode::TINYXML_DECLARATION: bytes += sizeof(TiXmlDeclaration); break;
            default: bytes += sizeof(TiXmlUnknown); break;
        }
        if (const TiXmlElement* element = child->ToElement())
            for (const TiXmlAttribute* a = element->FirstAttribute(); a; a = a->Next())
                bytes += sizeof(TiXmlAttribute);
        bytes += charged_below(child);
    }
    return bytes;
}

struct Result {
    int error = 0;
    int row = 0;
    int col = 0;
    std::string printed;
};

Result reference(const std::string& text, TiXmlEncoding encoding, bool condense) {
    const std::string padded = text + std::string(3, '\0');
    Result result;
    char* printed = nullptr;
    std::size_t size = 0;
    result.error = reference_parse(padded.c_str(), encoding, condense, &printed, &size, &result.row,
                                   &result.col);
    FUZZ_CHECK(printed != nullptr);
    result.printed.assign(printed, size);
    std::free(printed);
    return result;
}

// Whether "<?xml" (in any case) is followed by a name character anywhere.
bool names_after_xml(const std::string& text) {
    for (std::size_t at = text.find("<?"); at != std::string::npos; at = text.find("<?", at + 2)) {
        if (at + 5 >= text.size() || ::strncasecmp(text.c_str() + at + 2, "xml", 3) != 0) continue;
        const unsigned char next = static_cast<unsigned char>(text[at + 5]);
        if (next >= 127 || std::isalnum(next) || std::strchr("_-.:", next)) return true;
    }
    return false;
}

void check(const std::string& text, TiXmlEncoding encoding, bool condense, std::size_t budget) {
    TiXmlBase::SetCondenseWhiteSpace(condense);
    TiXmlDocument document;
    document.SetNodeBudget(budget);
    document.Parse(text.c_str(), nullptr, encoding);
    // The parser itself, not the plug-in's reading of it: past the limit it
    // stops at the first element too deep, and keeps nothing deeper.
    const std::size_t depth = element_depth(document);
    if (document.ErrorId() == TiXmlBase::TIXML_ERROR_ELEMENT_TOO_DEEP) {
        FUZZ_CHECK(depth == orvella::kMaxXmlDepth + 1);  // the nameless element it stopped at
        return;
    }
    FUZZ_CHECK(depth <= orvella::kMaxXmlDepth);
    if (document.ErrorId() == TiXmlBase::TIXML_ERROR_OVER_NODE_BUDGET) {
        FUZZ_CHECK(budget != 0 && charged_below(&document) <= budget);
        return;
    }
    // Declarations and unknown nodes that Debian's reads in part are errors
    // in ours, and "<?xml" followed by a name character is no declaration.
    if (document.ErrorId() == TiXmlBase::TIXML_ERROR_PARSING_DECLARATION ||
        document.ErrorId() == TiXmlBase::TIXML_ERROR_PARSING_UNKNOWN || names_after_xml(text)) {
        return;
    }
    TiXmlPrinter printer;
    document.Accept(&printer);
    const Result debian = reference(text, encoding, condense);
    // Outside UTF-8 ours reads a character reference above one byte
    // otherwise: as UTF-8 without a declared encoding, as an error in one.
    if (encoding != TIXML_ENCODING_UTF8 && text.find("&#") != std::string::npos) return;
    if (document.ErrorId() != debian.error || document.ErrorRow() != debian.row ||
        document.ErrorCol() != debian.col || printer.Str() != debian.printed) {
        std::fprintf(stderr, "patched: error %d at %d:%d\n%s\nDebian's: error %d at %d:%d\n%s\n",
                     document.ErrorId(), document.ErrorRow(), document.ErrorCol(), printer.CStr(),
                     debian.error, debian.row, debian.col, debian.printed.c_str());
        FUZZ_CHECK(!"the patched parse differs from Debian's");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    void* library = ::dlopen(FUZZ_TINYXML_REFERENCE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    FUZZ_CHECK(library != nullptr);
    reference_parse =
        reinterpret_cast<TinyXmlReferenceParse>(::dlsym(library, "tinyxml_reference_parse"));
    FUZZ_CHECK(reference_parse != nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const TiXmlEncoding kEncodings[] = {TIXML_ENCODING_UNKNOWN, TIXML_ENCODING_UTF8,
                                               TIXML_ENCODING_LEGACY};
    const TiXmlEncoding encoding = kEncodings[data[0] % 3];
    const bool condense = (data[0] / 3) % 2 == 0;
    const std::size_t budget = (data[0] / 6) % 2 == 0 ? 0 : kFuzzNodeBudget;
    const std::string text = std::string(reinterpret_cast<const char*>(data) + 1, size - 1).c_str();
    orvella_fuzz::run_on_small_stack([&] { check(text, encoding, condense, budget); });
    return 0;
}
