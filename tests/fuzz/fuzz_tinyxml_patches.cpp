// The TinyXML we build (Debian's source, Debian's patches and ours) against
// Debian's alone: within our nesting limit, both build the same document
// and end in the same error state. The first input byte picks the encoding
// and white-space condensing; the rest, up to its first zero byte, is the
// text. Ours parses through guarded_parse.cpp, so a read past the text
// faults; Debian's (which may read three bytes past a text that ends inside
// a UTF-8 sequence) parses a copy followed by zero bytes. Both run on the
// hand-off thread's stack: past the limit ours stops at the first element
// too deep, and Debian's is not asked.
#include <dlfcn.h>

#include <tinyxml.h>

#include <cstdint>
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

void check(const std::string& text, TiXmlEncoding encoding, bool condense) {
    TiXmlBase::SetCondenseWhiteSpace(condense);
    TiXmlDocument document;
    document.Parse(text.c_str(), nullptr, encoding);
    // The parser itself, not the plug-in's reading of it: past the limit it
    // stops at the first element too deep, and keeps nothing deeper.
    const std::size_t depth = element_depth(document);
    if (document.ErrorId() == TiXmlBase::TIXML_ERROR_ELEMENT_TOO_DEEP) {
        FUZZ_CHECK(depth == orvella::kMaxXmlDepth + 1);  // the nameless element it stopped at
        return;
    }
    FUZZ_CHECK(depth <= orvella::kMaxXmlDepth);
    TiXmlPrinter printer;
    document.Accept(&printer);
    const Result debian = reference(text, encoding, condense);
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
    const std::string text = std::string(reinterpret_cast<const char*>(data) + 1, size - 1).c_str();
    orvella_fuzz::run_on_small_stack([&] { check(text, encoding, condense); });
    return 0;
}
