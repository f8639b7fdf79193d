// The TinyXML we build (Debian's source, Debian's patches and ours) against
// Debian's alone. The first input byte picks the encoding, white-space
// condensing and whether the node budget is put to the test (the text parsed
// again under a small budget and under exactly its charge); the rest, up to
// its first zero byte, is the text. Properties:
// - within our nesting limit, both build the same nodes and end in the same
//   error state; past it ours stops at the first element too deep;
// - a parse the budget stops holds the whole parse's first nodes in document
//   order, each as the whole has it (the last, an element cut short inside
//   its start tag, without attributes);
// - the whole parse is charged at least its nodes' and attributes' sizes; a
//   budget of exactly its charge does not stop it, and one byte less stops
//   it at its last node or attribute, as above.
// Debian's is not asked where ours reads otherwise by design (declarations,
// unknown nodes, character references outside UTF-8: debian_reads_alike).
// Ours parses through guarded_parse.cpp, so a read past the text faults;
// Debian's (which may read three bytes past a text that ends inside a UTF-8
// sequence) parses a copy followed by zero bytes. Both run on the hand-off
// thread's stack.
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
#include "tinyxml_canonical.h"
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

// What the node budget charges at least for the nodes below `node` and their
// attributes: each its size (the names an element keeps in a tree cost more).
std::size_t charged_below(const TiXmlNode& node) {
    std::size_t bytes = 0;
    std::vector<const TiXmlNode*> pending{&node};
    while (!pending.empty()) {
        const TiXmlNode* parent = pending.back();
        pending.pop_back();
        for (const TiXmlNode* child = parent->FirstChild(); child; child = child->NextSibling()) {
            pending.push_back(child);
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
        }
    }
    return bytes;
}

struct Parsed {
    int error = 0;
    int row = 0;
    int col = 0;
    std::string nodes;  // tinyxml_canonical
};

Parsed ours(const std::string& text, TiXmlEncoding encoding, std::size_t budget,
            std::size_t* charged = nullptr) {
    TiXmlDocument document;
    document.SetNodeBudget(budget);
    document.Parse(text.c_str(), nullptr, encoding);
    if (charged != nullptr) {
        *charged = document.NodeCharge();
        FUZZ_CHECK(*charged >= charged_below(document));
    }
    return {document.ErrorId(), document.ErrorRow(), document.ErrorCol(), tinyxml_canonical(document)};
}

Parsed debian(const std::string& text, TiXmlEncoding encoding, bool condense) {
    const std::string padded = text + std::string(3, '\0');
    Parsed result;
    char* nodes = nullptr;
    std::size_t size = 0;
    result.error = reference_parse(padded.c_str(), encoding, condense, &nodes, &size, &result.row,
                                   &result.col);
    FUZZ_CHECK(nodes != nullptr);
    result.nodes.assign(nodes, size);
    std::free(nodes);
    return result;
}

void differ(const char* what, const Parsed& a, const Parsed& b) {
    std::fprintf(stderr, "%s\nerror %d at %d:%d\n%s\nagainst error %d at %d:%d\n%s\n", what, a.error,
                 a.row, a.col, a.nodes.c_str(), b.error, b.row, b.col, b.nodes.c_str());
    FUZZ_CHECK(!"the parses differ");
}

bool same(const Parsed& a, const Parsed& b) {
    return a.error == b.error && a.row == b.row && a.col == b.col && a.nodes == b.nodes;
}

// Whether `part`'s nodes are the first ones of `whole`'s, line for line of
// their canonical texts; the last may be an element of `whole` without any
// of its attributes. The ")" lines that end `part` close what `whole` goes
// on with.
bool is_first_part_of(std::string part, const std::string& whole) {
    while (part.size() >= 2 && part.compare(part.size() - 2, 2, ")\n") == 0) part.resize(part.size() - 2);
    if (whole.compare(0, part.size(), part) == 0) return true;
    const std::size_t last = part.size() < 2 ? 0 : part.rfind('\n', part.size() - 2) + 1;  // npos + 1 is 0
    const std::string line = part.substr(last);
    // An element's line: its type, the name's length, ':', the name, then
    // its attributes ("a...") and the newline.
    const std::size_t colon = line.find(':');
    if (line.empty() || line[0] != '0' + TiXmlNode::TINYXML_ELEMENT || colon == std::string::npos)
        return false;
    const std::size_t head = colon + 1 + std::strtoul(line.c_str() + 1, nullptr, 10);
    return line.size() == head + 1 && whole.compare(0, last, part, 0, last) == 0 &&
           whole.compare(last, head, line, 0, head) == 0 && whole.compare(last + head, 1, "a") == 0;
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

// Where ours reads otherwise than Debian's by design: declarations and
// unknown nodes Debian's reads in part are errors in ours, "<?xml" followed
// by a name character is no declaration, and outside UTF-8 a character
// reference above one byte reads as UTF-8 without a declared encoding and as
// an error in one.
bool debian_reads_alike(const std::string& text, TiXmlEncoding encoding, const Parsed& ours) {
    return ours.error != TiXmlBase::TIXML_ERROR_PARSING_DECLARATION &&
           ours.error != TiXmlBase::TIXML_ERROR_PARSING_UNKNOWN && !names_after_xml(text) &&
           (encoding == TIXML_ENCODING_UTF8 || text.find("&#") == std::string::npos);
}

void check(const std::string& text, TiXmlEncoding encoding, bool condense, bool budgeted) {
    TiXmlBase::SetCondenseWhiteSpace(condense);
    std::size_t charged = 0;
    const Parsed whole = ours(text, encoding, 0, &charged);
    if (whole.error == TiXmlBase::TIXML_ERROR_ELEMENT_TOO_DEEP) {
        // The parser itself, not the plug-in's reading of it: it stops at
        // the first element too deep and keeps nothing deeper.
        TiXmlDocument document;
        document.Parse(text.c_str(), nullptr, encoding);
        FUZZ_CHECK(element_depth(document) == orvella::kMaxXmlDepth + 1);
    } else if (debian_reads_alike(text, encoding, whole)) {
        const Parsed reference = debian(text, encoding, condense);
        if (!same(whole, reference)) differ("ours, then Debian's", whole, reference);
    }
    if (budgeted) {
        const Parsed part = ours(text, encoding, kFuzzNodeBudget);
        if (part.error == TiXmlBase::TIXML_ERROR_OVER_NODE_BUDGET) {
            if (!is_first_part_of(part.nodes, whole.nodes)) differ("stopped, then whole", part, whole);
        } else if (!same(part, whole)) {
            differ("within the budget, then without", part, whole);
        }
    }
    if (budgeted && whole.error == 0 && charged > 0) {
        const Parsed exact = ours(text, encoding, charged);
        if (!same(exact, whole)) differ("on exactly its charge, then without", exact, whole);
        const Parsed short_of = ours(text, encoding, charged - 1);
        FUZZ_CHECK(short_of.error == TiXmlBase::TIXML_ERROR_OVER_NODE_BUDGET);
        if (!is_first_part_of(short_of.nodes, whole.nodes)) differ("a byte short, then whole", short_of, whole);
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
    const bool budgeted = (data[0] / 6) % 2 != 0;
    const std::string text = std::string(reinterpret_cast<const char*>(data) + 1, size - 1).c_str();
    orvella_fuzz::run_on_small_stack([&] { check(text, encoding, condense, budgeted); });
    return 0;
}
