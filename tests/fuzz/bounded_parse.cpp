#include "bounded_parse.h"

#include <utility>
#include <vector>

#include "fuzz_check.h"
#include "support/xml_input.h"

namespace orvella_fuzz {

bool parse_within_limit(TiXmlDocument& document, const char* text, TiXmlEncoding encoding) {
    document.Parse(text, nullptr, encoding);
    const std::size_t depth = element_depth(document);
    if (document.ErrorId() != TiXmlBase::TIXML_ERROR_ELEMENT_TOO_DEEP) {
        FUZZ_CHECK(depth <= orvella::kMaxXmlDepth);
        return true;
    }
    // The element the parse stopped at is kept, nameless, one level past.
    FUZZ_CHECK(depth == orvella::kMaxXmlDepth + 1);
    document.Clear();
    return false;
}

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

}  // namespace orvella_fuzz
