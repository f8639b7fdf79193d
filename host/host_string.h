// A host string handle that releases itself: SvApiStringCreate on
// construction, SvApiStringRelease when it goes, on every path.
#pragma once

#include <string>

#include "host/sv_plugin_api.h"

namespace orvella {

class HostString {
public:
    HostString() : handle_(SvApiStringCreate()) {}
    ~HostString() {
        if (handle_) SvApiStringRelease(handle_);
    }
    HostString(const HostString&) = delete;
    HostString& operator=(const HostString&) = delete;

    // For the host getter that fills it.
    SvApiString handle() const { return handle_; }
    // A copy of the host's text; "" when the host gave no handle or no text.
    std::string text() const {
        const char* text = handle_ ? SvApiStringGet(handle_) : nullptr;
        return text ? text : "";
    }

private:
    SvApiString handle_;
};

}  // namespace orvella
