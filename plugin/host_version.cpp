#include "plugin/host_version.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>

#include "plugin/host_string.h"

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

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The decimal number at the start of `text` (leading white space skipped,
// anything after the number ignored). No locale takes part: the host's "."
// is always the decimal point.
std::optional<float> leading_decimal(const std::string& text) {
    const char* first = text.data();
    const char* last = first + text.size();
    while (first != last && is_space(*first)) ++first;
    if (first != last && *first == '+' && first + 1 != last && first[1] != '-') ++first;
    float value = 0;
    const std::from_chars_result read = std::from_chars(first, last, value, std::chars_format::fixed |
                                                                              std::chars_format::scientific);
    if (read.ec != std::errc() || !std::isfinite(value)) return std::nullopt;
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
