#include "plugin/host_version.h"

#include <cfloat>
#include <cmath>
#include <locale>
#include <sstream>

#include "host/host_string.h"

namespace orvella {

const char target_host_key[] = "8_0";

const HostVersionRow host_version_ranges[2] = {
    {"8_0", {FLT_MIN, 8.0f}},
    {"2019_1", {9.1f, FLT_MAX}},
};

namespace {

const char kVersionWord[] = "version";
// The number starts after the word and the three characters after it.
const std::size_t kNumberOffset = 10;
const float kVersionWithoutWord = 8.0f;

// The decimal number at the start of `text` (leading white space skipped,
// anything after the number ignored). The classic locale reads it, so the
// host's "." is the decimal point whatever locale the host process has set.
std::optional<float> leading_decimal(const std::string& text) {
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    float value = 0;
    in >> value;
    if (in.fail() || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace

VersionRange host_version_range(const std::string& key) {
    for (const HostVersionRow& row : host_version_ranges) {
        if (key == row.key) return row.range;
    }
    return host_version_ranges[0].range;
}

std::optional<float> host_version_from_text(const std::string& host_text) {
    const std::size_t word = host_text.find(kVersionWord);
    if (word == std::string::npos) return kVersionWithoutWord;
    const std::size_t start = word + kNumberOffset;
    if (start > host_text.size()) return std::nullopt;
    const std::size_t dot = host_text.find('.', start);
    const std::string number = dot == std::string::npos ? host_text.substr(start)
                                                        : host_text.substr(start, dot - start + 2);
    return leading_decimal(number);
}

bool host_text_supported(const std::string& host_text, const std::string& key) {
    const std::optional<float> version = host_version_from_text(host_text);
    if (!version) return false;
    const VersionRange range = host_version_range(key);
    return !(*version < range.min || *version > range.max);
}

bool host_version_supported() {
    std::string text;
    {
        HostString host;
        SvApiHostApplicationGet(host.handle());
        text = host.text();
    }
    return host_text_supported(text, target_host_key);
}

}  // namespace orvella
