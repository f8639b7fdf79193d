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
// its first NUL) equals `name`: the name's bytes do not occur in it, and it
// holds no '&' (a reference could assemble the name from other bytes; the
// parse decides). True for an empty name.
bool reply_may_name(std::string_view reply, const std::string& name);

// The replies of one hand-off, kept across its poll attempts; never shared
// between threads: this attempt's reply and the last one that was parsed and
// searched without confirming.
class ReplyMemory {
public:
    // This attempt's reply; assign the library's text to it. Between attempts
    // that do not parse it keeps its capacity, so an unchanged reply is
    // copied into pages already there.
    std::string& reply() { return current_; }
    // Whether this attempt's reply has exactly the bytes of the last one
    // remembered: the same parse and search cannot confirm it either.
    bool unchanged() const { return has_last_ && current_ == last_; }
    // The current reply is about to be parsed: the last one is not needed
    // any more, and its memory is freed before the parse takes its own.
    void forget_last();
    // The current reply was parsed and searched and did not confirm: it
    // becomes the last one, and the next reply starts in an empty buffer.
    void remember_unconfirmed();

private:
    std::string current_;
    std::string last_;
    bool has_last_ = false;
};

}  // namespace orvella
