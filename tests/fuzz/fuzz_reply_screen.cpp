// The poll attempt's screen against its parse: any bytes as a scene reply,
// searched for a model name taken from the input ("NAME\nREPLY"; without a
// newline the whole input is the reply and the name is empty). Property:
// whenever reply_may_name answers that the reply cannot name the model, the
// attempt's own parse and search (reply_names_model, the path
// check_imported_model takes) confirms nothing. A reply that one attempt
// parsed without confirming is remembered, and the next attempt with the
// same bytes must be one the parse would not confirm either.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "name_and_reply.h"
#include "handoff/reply_screen.h"
#include "handoff/scene_search.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const auto [name, reply] = name_and_reply(input);
    const bool may = orvella::reply_may_name(reply, name);
    const bool confirms = orvella::reply_names_model(reply, name);
    FUZZ_CHECK(may || !confirms);

    orvella::ReplyMemory memory;
    memory.reply() = reply;
    FUZZ_CHECK(!memory.unchanged());
    memory.remember_unconfirmed();
    memory.reply() = reply;
    FUZZ_CHECK(memory.unchanged());
    return 0;
}
