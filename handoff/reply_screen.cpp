#include "handoff/reply_screen.h"

#include <string.h>  // memmem

#include <utility>

namespace orvella {

bool reply_may_name(std::string_view reply, const std::string& name) {
    if (name.empty()) return true;
    reply = reply.substr(0, reply.find('\0'));
    // Without a '&' every attribute value TinyXML reads is bytes of the reply
    // as they stand; with one, a reference may assemble the name, and only
    // the parse can tell.
    return ::memmem(reply.data(), reply.size(), name.data(), name.size()) != nullptr ||
           reply.find('&') != std::string_view::npos;
}

void ReplyMemory::forget_last() {
    std::string().swap(last_);
    has_last_ = false;
}

void ReplyMemory::remember_unconfirmed() {
    std::swap(current_, last_);
    has_last_ = true;
}

}  // namespace orvella
