// The option text handed to the host's export service with the garment.
#pragma once

#include <string>

namespace orvella {

// `text` as a JSON string, quotes included: `"` and `\` escaped, control
// characters as \b \f \n \r \t or \u00XX, every other byte (UTF-8
// included) unchanged. Ordinary paths come out between quotes as they stand.
std::string json_string(const std::string& text);

// The one-line option text of the variant for `host_key` (target_host_key
// gives the "8_0" variant; any other key the later one) for the output
// file `path` and the stored include-avatar text: "true" gives the JSON
// literal true, anything else false.
std::string export_options(const std::string& path, const std::string& include_avatar,
                           const std::string& host_key);
std::string export_options(const std::string& path, const std::string& include_avatar);

}  // namespace orvella
