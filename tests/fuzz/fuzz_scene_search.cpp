// Any bytes as the renderer's scene reply, searched for a model name taken
// from the input ("NAME\nREPLY"; without a newline the whole input is the
// reply and the name is empty). The reply reaches the plug-in through its
// real live-link loader and check_imported_model, from a library installed
// at Orvella 9's path in the sandbox. Properties: nothing crashes, trips a
// sanitizer or leaks, and the answer is that of a plain reading of the
// search's contract: pre-order over the first four levels below the
// document's first element, the first element whose "name" is exactly NAME
// (whole values, a NUL from "&#0;" included), skipping every element (and all
// below it) whose "modelset" is present and not "active", and not the element
// whose start tag the parse failed in. find_named_model must return exactly
// that element, that one aside. All of it runs on a 512 KiB stack, and a
// reply stopped by the nesting limit is searched over what was read, as one
// stopped by the node budget is.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <tinyxml.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_check.h"
#include "name_and_reply.h"
#include "handoff/renderer_import_for_testing.h"
#include "handoff/reply_screen.h"
#include "handoff/scene_search.h"
#include "small_stack.h"
#include "support/xml_input.h"

namespace {

using SetReply = void (*)(const char*, std::size_t);
SetReply set_reply = nullptr;

constexpr int kLevels = 4;

// The contract, read plainly: an explicit stack instead of recursion.
// `unread` (when not null) is an element the search does not take.
const TiXmlElement* expected_model(const TiXmlElement* root, const std::string& name,
                                   const TiXmlElement* unread = nullptr) {
    std::vector<std::pair<const TiXmlElement*, int>> pending;
    if (root) pending.emplace_back(root, 1);
    while (!pending.empty()) {
        const auto [element, level] = pending.back();
        pending.pop_back();
        if (element == unread) continue;
        const std::string* modelset = element->Attribute(std::string("modelset"));
        if (modelset && *modelset != "active") continue;
        const std::string* element_name = element->Attribute(std::string("name"));
        if (element_name && *element_name == name) return element;
        if (level == kLevels) continue;
        std::vector<const TiXmlElement*> children;
        for (const TiXmlElement* c = element->FirstChildElement(); c; c = c->NextSiblingElement())
            children.push_back(c);
        for (auto c = children.rbegin(); c != children.rend(); ++c) pending.emplace_back(*c, level + 1);
    }
    return nullptr;
}

// The element whose start tag the parse failed in, when it failed in one:
// the last element in document order, which holds only the attributes read
// before the fault. Null otherwise.
const TiXmlElement* element_cut_in_its_start_tag(const TiXmlDocument& document) {
    const int error = document.ErrorId();
    if (error != TiXmlBase::TIXML_ERROR_PARSING_ELEMENT &&
        error != TiXmlBase::TIXML_ERROR_READING_ATTRIBUTES &&
        error != TiXmlBase::TIXML_ERROR_PARSING_EMPTY)
        return nullptr;
    const TiXmlNode* last = nullptr;
    std::vector<const TiXmlNode*> pending{&document};
    while (!pending.empty()) {
        const TiXmlNode* node = pending.back();
        pending.pop_back();
        last = node;
        for (const TiXmlNode* child = node->LastChild(); child; child = child->PreviousSibling())
            pending.push_back(child);
    }
    return last != nullptr ? last->ToElement() : nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The fixed installation paths must be the sandbox's own.
    struct stat info {};
    if (::getuid() == 0 || ::stat("/Applications", &info) != 0 || ::access("/Applications", W_OK) != 0) {
        std::fprintf(stderr, "fuzz_scene_search: run inside tools/sandbox (tests/fuzz/run-fuzzers does)\n");
        std::exit(1);
    }
    const std::string bundle = "/Applications/Orvella9.app/Contents/MacOS";
    std::filesystem::create_directories(bundle);
    std::filesystem::create_directories("/Library/Application Support/Orvella9");  // for sceneapi.log
    const std::string installed = bundle + "/qororvellalive6.so";
    FUZZ_CHECK(::symlink(FUZZ_LIVE_LINK_LIBRARY, installed.c_str()) == 0);
    // The loader's dlopen of the same file finds this instance.
    void* library = ::dlopen(installed.c_str(), RTLD_NOW | RTLD_LOCAL);
    FUZZ_CHECK(library != nullptr);
    set_reply = reinterpret_cast<SetReply>(::dlsym(library, "fuzz_live_link_set_reply"));
    FUZZ_CHECK(set_reply != nullptr);
    return 0;
}

namespace {

void check(const std::string& input) {
    const auto [name, reply] = name_and_reply(input);
    set_reply(reply.data(), reply.size());

    orvella::ImportRequest request;
    request.name = name;
    request.path = "/tmp/garment.fbx";
    orvella::ReplyMemory memory;  // no attempt before this one
    const bool confirmed = orvella::check_imported_model(request, ::getpid(), memory);

    TiXmlDocument document;
    // The text ends at the reply's first zero byte, as the parser reads it.
    // A reply nested too deep is searched over what was read.
    orvella::parse_xml_text(document, reply);
    const TiXmlElement* root = document.FirstChildElement();
    // A start tag the reply cuts short confirms nothing.
    FUZZ_CHECK(confirmed == (expected_model(root, name, element_cut_in_its_start_tag(document)) !=
                             nullptr));
    FUZZ_CHECK(orvella::find_named_model(root, name, kLevels) == expected_model(root, name));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Every attempt logs a line; the sandbox's /Library lives in memory, so
    // a long run keeps the log short (the loader appends, so it goes on at
    // the new end).
    static unsigned long inputs = 0;
    if (++inputs % 100000 == 0)
        (void)::truncate("/Library/Application Support/Orvella9/sceneapi.log", 0);
    const std::string input(reinterpret_cast<const char*>(data), size);
    orvella_fuzz::run_on_small_stack([&input] { check(input); });
    return 0;
}
