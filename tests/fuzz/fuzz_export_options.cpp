// Any bytes as the export path, with the first byte choosing the stored
// include-avatar text and the host variant. Properties: the option text is
// one line; for a UTF-8 path (JSON texts are UTF-8) it parses as JSON, its
// "path" is the path byte for byte (NULs and control characters included)
// and "include_avatar" is the literal true exactly for the text "true".
#include <cstddef>
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "fuzz_check.h"
#include "fuzz_support.h"
#include "plugin/export_options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const char* const kAvatarTexts[] = {"true", "false", "", "TRUE", "true ", "1"};
    const std::string include_avatar = kAvatarTexts[(data[0] & 0x7F) % 6];
    const std::string host_key = (data[0] & 0x80) ? "2019_1" : "8_0";
    const std::string path(reinterpret_cast<const char*>(data + 1), size - 1);

    const std::string options = orvella::export_options(path, include_avatar, host_key);
    FUZZ_CHECK(options.find('\n') == std::string::npos);
    FUZZ_CHECK(options.find('\r') == std::string::npos);
    if (!orvella_fuzz::is_utf8(path)) return 0;

    const nlohmann::json parsed = nlohmann::json::parse(options, nullptr, false);
    FUZZ_CHECK(!parsed.is_discarded());
    FUZZ_CHECK(parsed.is_object() && parsed.contains("path") && parsed["path"].is_string());
    FUZZ_CHECK(parsed["path"].get<std::string>() == path);
    FUZZ_CHECK(parsed.contains("include_avatar") && parsed["include_avatar"].is_boolean());
    FUZZ_CHECK(parsed["include_avatar"].get<bool>() == (include_avatar == "true"));
    return 0;
}
