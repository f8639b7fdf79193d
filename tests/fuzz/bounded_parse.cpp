#include "bounded_parse.h"

#include <utility>
#include <vector>

#include "fuzz_check.h"
#include "support/xml_input.h"
#include "support/xml_nesting.h"

namespace orvella_fuzz {

bool parse_within_limit(TiXmlDocument& document, const char* padded, TiXmlEncoding encoding) {
    const std::size_t measured = orvella::xml_element_depth(padded, encoding, orvella::kMaxXmlDepth);
    FUZZ_CHECK(measured == orvella::xml_element_depth_stepwise(padded, encoding, orvella::kMaxXmlDepth));
    if (measured > orvella::kMaxXmlDepth) return false;
    document.Parse(padded, nullptr, encoding);
    FUZZ_CHECK(element_depth(document) <= measured);
    return true;
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
