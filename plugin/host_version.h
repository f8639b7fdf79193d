// The host-version gate: which Garvento generations this build registers in.
//
// The host tells its version in its application text, after the word
// "version" (Garvento writes {"name":...,"version":"8.0.1"}). This build
// serves target_host_key "8_0": hosts of version 8.0 and below.
#pragma once

#include <optional>
#include <string>

namespace orvella {

// The host generation this build serves; it also picks the export option
// variant. The library's name carries the same key.
extern const char target_host_key[];

// Both bounds inclusive, single precision.
struct VersionRange {
    float min;
    float max;
};

struct HostVersionRow {
    const char* key;
    VersionRange range;
};

// Exactly two rows, "8_0" and "2019_1"; only target_host_key's is consulted.
extern const HostVersionRow host_version_ranges[2];

// The range of `key`, one of the table's keys.
VersionRange host_version_range(const std::string& key);

// The version a host text tells: 8.0 when the text holds no "version";
// otherwise the number 10 characters after the first "version" (the word
// and the three characters after it, `":"` in Garvento's text), read up to
// one digit after its first "." (so 8.0.1 and 8.05 both read as 8.0).
// Nothing when no finite decimal number can be read there, or when the text
// ends before the number's place.
std::optional<float> host_version_from_text(const std::string& host_text);

// Whether a host that gives `host_text` is served by the range of `key`.
// A text whose version cannot be read is refused.
bool host_text_supported(const std::string& host_text, const std::string& key);

// Host thread. Asks the host for its text (SvApiHostApplicationGet, then the
// handle is released) and tells whether target_host_key's range holds it.
bool host_version_supported();

}  // namespace orvella
