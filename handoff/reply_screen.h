// What a poll attempt can tell about a scene reply without parsing it.
//
// Parsing a large scene is most of an attempt's cost, and the host process's
// processor time is the hand-off's budget. Most attempts cannot confirm
// anything: before the import the reply does not hold the name, and while the
// renderer loads it is the text of a second ago. So an attempt parses only
// when the reply may confirm:
//
//     ReplyMemory memory;                       // one per hand-off
//     ... memory.reply() = copy of the library's text
//     if (memory.unchanged() || !reply_may_name(memory.reply(), name)) -> not confirmed
//     memory.forget_last();
//     ... parse and search; if that does not confirm: memory.remember_unconfirmed()
//
// Both answers are sound: "cannot" always means the parse and search would
// find nothing (tests/fuzz/fuzz_reply_screen.cpp holds them to that).
#pragma once

#include <string>
#include <string_view>

namespace orvella {

// False only when no attribute value TinyXML could read from `reply` (up to
// its first NUL) equals `name`, under either of its decodings of character
// references (UTF-8, or one byte each, as a byte-order mark or an encoding
// declaration chooses): the name's bytes occur neither as they stand nor
// assembled from text and entities ("&amp;", "&lt;", "&gt;", "&quot;",
// "&apos;"), decimal or hexadecimal references, and the "&" TinyXML drops
// when it recognises no reference. True whenever in doubt: an empty name, a
// name with a NUL, or a reply whose references would take long to rule out.
bool reply_may_name(std::string_view reply, const std::string& name);

// The replies of one hand-off, kept across its poll attempts; never shared
// between threads. Holds the current reply in a buffer that keeps its pages
// from one attempt to the next, and the last reply that was parsed and
// searched without confirming.
class ReplyMemory {
public:
    // This attempt's reply; assign the library's text to it (its capacity
    // stays from the attempts before).
    std::string& reply() { return current_; }
    // Whether this attempt's reply has exactly the bytes of the last one
    // remembered: the same parse and search cannot confirm it either.
    bool unchanged() const { return has_last_ && current_ == last_; }
    // The current reply is about to be parsed: the last one is not needed
    // any more, and its memory goes back before the parse takes its own.
    void forget_last();
    // The current reply was parsed and searched and did not confirm.
    void remember_unconfirmed();

private:
    std::string current_;
    std::string last_;
    bool has_last_ = false;
};

}  // namespace orvella
