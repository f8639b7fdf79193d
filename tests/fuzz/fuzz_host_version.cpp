// Any bytes as the host's application text (up to its first NUL, as the host
// hands it over), read by the version gate and by the real entry point
// against the stand-in host library. Properties: a version read is a finite
// number; a text without "version" reads as 8.0; the gate's answer is
// exactly whether the number lies in the "8_0" range; SvApiPluginInit returns
// that answer, releases every host string it made, and a refused host sees
// no call after the string's release.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "plugin/host_version.h"
#include "standins/garvento/standin_control.h"

extern "C" int SvApiPluginInit(void);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.substr(0, text.find('\0'));

    const std::optional<float> version = orvella::host_version_from_text(text);
    if (version) FUZZ_CHECK(std::isfinite(*version));
    if (text.find("version") == std::string::npos) FUZZ_CHECK(version && *version == 8.0f);
    const orvella::VersionRange range = orvella::host_version_range("8_0");
    const bool in_range = version && range.min <= *version && *version <= range.max;
    FUZZ_CHECK(orvella::host_text_supported(text, "8_0") == in_range);

    standin::reset();
    standin::set_host_text(text);
    const int registered = SvApiPluginInit();
    FUZZ_CHECK(registered == (in_range ? SVAPI_PLUGIN_REGISTERED : SVAPI_PLUGIN_REFUSED));
    FUZZ_CHECK(standin::live_strings() == 0);
    if (registered == SVAPI_PLUGIN_REFUSED) {
        const std::vector<standin::Call> calls = standin::plugin_calls();
        FUZZ_CHECK(!calls.empty() && calls.back().function == "SvApiStringRelease");
        for (const standin::Call& call : calls) {
            const bool asked = call.function == "SvApiStringCreate" ||
                               call.function == "SvApiHostApplicationGet" ||
                               call.function == "SvApiStringGet" ||
                               call.function == "SvApiStringRelease";
            if (!asked) std::fprintf(stderr, "refused host saw %s\n", call.function.c_str());
            FUZZ_CHECK(asked);
        }
    }
    return 0;
}
