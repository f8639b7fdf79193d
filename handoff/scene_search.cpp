#include "handoff/scene_search.h"

#include <tinyxml.h>

#include "support/xml_input.h"

namespace orvella {

const TiXmlElement* find_named_model(const TiXmlElement* element, const std::string& name,
                                     int depth) {
    if (depth <= 0 || element == nullptr) return nullptr;
    // Whole values: a character reference such as "&#0;" puts a NUL inside
    // one, where its C text would end.
    if (const std::string* modelset = element->Attribute(std::string("modelset")))
        if (*modelset != "active") return nullptr;
    if (const std::string* value = element->Attribute(std::string("name")))
        if (*value == name) return element;
    for (const TiXmlElement* child = element->FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement())
        if (const TiXmlElement* found = find_named_model(child, name, depth - 1)) return found;
    return nullptr;
}

bool reply_names_model(const std::string& reply, const std::string& name) {
    TiXmlDocument document;
    document.SetNodeBudget(kSceneNodeBudget);
    parse_xml_text(document, reply);  // errors are not examined: whatever parsed is searched
    const TiXmlElement* root = document.FirstChildElement();
    return root != nullptr && find_named_model(root, name, kSceneSearchDepth) != nullptr;
}

}  // namespace orvella
