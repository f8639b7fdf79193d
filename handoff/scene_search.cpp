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

namespace {

// A parse that fails inside an element's start tag keeps the attributes read
// before the fault: a reply cut after `name="Coat"` would read as the model
// outside every inactive set, although the "modelset" that followed may say
// otherwise. That element is the last node the parse made, at the end of the
// chain of last children; it is left out, so that only whole start tags are
// searched.
void drop_element_cut_in_its_start_tag(TiXmlDocument& document) {
    switch (document.ErrorId()) {
        case TiXmlBase::TIXML_ERROR_PARSING_ELEMENT:
        case TiXmlBase::TIXML_ERROR_READING_ATTRIBUTES:
        case TiXmlBase::TIXML_ERROR_PARSING_EMPTY:
            break;
        default:
            return;
    }
    TiXmlNode* last = &document;
    while (last->LastChild() != nullptr) last = last->LastChild();
    if (last->ToElement() != nullptr) last->Parent()->RemoveChild(last);
}

}  // namespace

bool reply_names_model(const std::string& reply, const std::string& name) {
    TiXmlDocument document;
    document.SetNodeBudget(kSceneNodeBudget);
    // Other errors are not examined: whatever parsed is searched.
    parse_xml_text(document, reply);
    drop_element_cut_in_its_start_tag(document);
    const TiXmlElement* root = document.FirstChildElement();
    return root != nullptr && find_named_model(root, name, kSceneSearchDepth) != nullptr;
}

}  // namespace orvella
