// The input of the scene-reply targets: "NAME\nREPLY", or, without a
// newline, the whole input as the reply and an empty name.
#pragma once

#include <string>

struct NameAndReply {
    std::string name;
    std::string reply;
};

inline NameAndReply name_and_reply(const std::string& input) {
    const std::string::size_type newline = input.find('\n');
    if (newline == std::string::npos) return {std::string(), input};
    return {input.substr(0, newline), input.substr(newline + 1)};
}
