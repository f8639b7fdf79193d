// The search of a renderer's scene reply for the model of a hand-off.
//
// The reply, as far as the plug-in reads it, is XML whose elements carry a
// "name" (a model's name) and a "modelset" (a model set, in use only when
// "active"). The model is confirmed when, within the first four levels of
// the document's first element, an element outside every inactive set
// carries exactly the garment's name.
#pragma once

#include <cstddef>
#include <string>

class TiXmlElement;

namespace orvella {

// How many levels of the reply a poll attempt searches (the root is the first).
constexpr int kSceneSearchDepth = 4;

// What a poll attempt's parse may take in nodes (TiXmlDocument's node
// budget, in bytes of nodes and attributes): past it the parse stops and what
// it read is searched. A scene of 16 MiB takes about 137 MiB of it; the worst
// texts take up to 1.3 times the budget with their names and values
// (docs/benchmarks.md, "A poll attempt's memory").
constexpr std::size_t kSceneNodeBudget = std::size_t{150} << 20;

// The longest reply a poll attempt takes: a longer one is not copied, and the
// attempt does not confirm. With the copy, the parse within its budget and the
// texts it holds, an attempt stays under 256 MiB for any reply up to this.
constexpr std::size_t kMaxSceneReplyBytes = std::size_t{20} << 20;

// Depth-first search, the element before its children, for the first element
// whose "name" is exactly `name` (every byte, a NUL from a character reference
// included), examining `depth` levels (`element` is the first). An element
// with a "modelset" other than "active" (whole value) is skipped with
// everything below it. Null when none.
const TiXmlElement* find_named_model(const TiXmlElement* element, const std::string& name,
                                     int depth);

// A poll attempt's parse and search: `reply` (up to its first NUL) parsed as
// outside XML is (support/xml_input.h) within kSceneNodeBudget, parse errors
// not examined, and searched from its first element, kSceneSearchDepth
// levels deep. True when that finds the model. A parse the budget or the
// nesting limit stops holds a part of what the whole would: every element in
// it as the whole has it, so what it confirms the whole would confirm too,
// and a reply confirms the same whichever limit stops its parse. An element whose start
// tag the parse failed in (a reply cut inside it) holds only some of its
// attributes and is not searched.
bool reply_names_model(const std::string& reply, const std::string& name);

}  // namespace orvella
