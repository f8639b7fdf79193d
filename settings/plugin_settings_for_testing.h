// What only the fuzz targets use of the settings store: a value as a read
// takes it from a preferences document already parsed.
#pragma once

#include <string>

class TiXmlDocument;

namespace orvella {

// The text of the key's element under the document's root, or "".
std::string stored_value_in(const TiXmlDocument& document, const std::string& key);

}  // namespace orvella
