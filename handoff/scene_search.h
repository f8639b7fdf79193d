// The search of a renderer's scene reply for the model of a hand-off.
//
// The reply, as far as the plug-in reads it, is XML whose elements carry a
// "name" (a model's name) and a "modelset" (a model set, in use only when
// "active"). The model is confirmed when, within the first four levels of
// the document's first element, an element outside every inactive set
// carries exactly the garment's name.
#pragma once

#include <string>

class TiXmlElement;

namespace orvella {

// How many levels of the reply a poll attempt searches (the root is the first).
constexpr int kSceneSearchDepth = 4;

// Depth-first search, the element before its children, for the first element
// whose "name" is exactly `name` (every byte, a NUL from a character reference
// included), examining `depth` levels (`element` is the first). An element
// with a "modelset" other than "active" (whole value) is skipped with
// everything below it. Null when none.
const TiXmlElement* find_named_model(const TiXmlElement* element, const std::string& name,
                                     int depth);

// A poll attempt's parse and search: `reply` (up to its first NUL) parsed as
// outside XML is (support/xml_input.h), parse errors not examined, and
// searched from its first element, kSceneSearchDepth levels deep. True when
// that finds the model.
bool reply_names_model(const std::string& reply, const std::string& name);

}  // namespace orvella
