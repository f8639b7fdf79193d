#include "bench_support.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "support/xml_input.h"

namespace orvella_bench {

namespace {

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "bench: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

}  // namespace

bool in_sandbox() {
    const char* home = std::getenv("HOME");
    return home != nullptr && std::string(home) == "/home/tester" && ::getuid() == 1000 &&
           ::access("/Applications", W_OK) == 0;
}

void make_directories(const std::string& path) {
    for (std::string::size_type slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        if (!prefix.empty() && ::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST)
            fail("mkdir " + prefix);
        if (slash == std::string::npos) break;
    }
}

void write_file(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
    if (!out.flush()) fail("write " + path);
}

void copy_file(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    if (!in) fail("read " + from);
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    out << in.rdbuf();
    if (!out.flush()) fail("write " + to);
    // The copy keeps the mode bits of `from` (links followed), as an
    // installed executable needs.
    std::error_code error;
    const std::filesystem::perms mode = std::filesystem::status(from, error).permissions();
    if (!error) std::filesystem::permissions(to, mode, error);
    if (error) {
        errno = error.value();
        fail("chmod " + to);
    }
}

std::string install_orvella9() {
    if (!in_sandbox()) {
        std::fprintf(stderr, "bench: run me inside tools/sandbox (tools/bench does)\n");
        std::exit(1);
    }
    const std::string bundle = "/Applications/Orvella9.app/Contents/MacOS/";
    make_directories(bundle);
    make_directories("/Library/Application Support/Orvella9");
    return bundle;
}

std::string scene_of(std::size_t bytes, const std::string& last, const std::string& modelset) {
    std::string scene = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<scene name=\"untitled\">\n";
    const std::string tail = "  <modelset name=\"garments\" modelset=\"" + modelset + "\">\n"
                             "    <model name=\"" + last + "\" type=\"mesh\"/>\n"
                             "  </modelset>\n</scene>\n";
    for (int set = 0; scene.size() + tail.size() < bytes; ++set) {
        scene += "  <modelset name=\"set" + std::to_string(set) + "\" modelset=\"active\">\n";
        for (int m = 0; m < 8 && scene.size() + tail.size() < bytes; ++m)
            scene += "    <model name=\"model_" + std::to_string(set) + "_" + std::to_string(m) +
                     "\" type=\"mesh\" material=\"fabric\"/>\n";
        scene += "  </modelset>\n";
    }
    return scene + tail;
}

SetReply install_answering_library(const std::string& built) {
    const std::string installed = install_orvella9() + "qororvellalive6.so";
    copy_file(built, installed);
    void* library = ::dlopen(installed.c_str(), RTLD_NOW | RTLD_LOCAL);
    auto set_reply =
        library ? reinterpret_cast<SetReply>(::dlsym(library, "fuzz_live_link_set_reply")) : nullptr;
    if (set_reply == nullptr) fail("load " + installed);
    return set_reply;
}

std::vector<std::pair<std::string, std::string>> worst_texts(std::size_t bytes) {
    std::vector<std::pair<std::string, std::string>> texts;
    auto fill = [bytes](std::string text, const std::string& unit, const std::string& end) {
        while (text.size() + end.size() < bytes) text += unit;
        return text + end;
    };
    auto attributes = [](int from, int count) {
        std::string text;
        for (int i = from; i < from + count; ++i) text += " a" + std::to_string(i) + "=\"\"";
        return text;
    };
    // One element with as many attributes as fit (about 470,000).
    {
        std::string text = "<e";
        for (int i = 0; text.size() + 2 < bytes; i += 1000) text += attributes(i, 1000);
        texts.emplace_back("one element, all attributes", text + "/>");
    }
    texts.emplace_back("elements of 1,000 attributes each",
                       fill("<r>", "<e" + attributes(0, 1000) + "/>", "</r>"));
    texts.emplace_back("elements of 64 attributes each (the longest list search)",
                       fill("<r>", "<e" + attributes(0, 64) + "/>", "</r>"));
    texts.emplace_back("elements of 7 one-letter attributes each",
                       fill("<r>", "<e a=\"\" b=\"\" c=\"\" d=\"\" f=\"\" g=\"\" h=\"\"/>", "</r>"));
    std::string branch;
    for (std::size_t i = 1; i < orvella::kMaxXmlDepth; ++i) branch += "<a>";
    for (std::size_t i = 1; i < orvella::kMaxXmlDepth; ++i) branch += "</a>";
    texts.emplace_back("branches nested to the limit", fill("<r>", branch, "</r>"));
    texts.emplace_back("empty elements", fill("<r>", "<a/>", "</r>"));
    texts.emplace_back("a letter of text between empty elements", fill("<r>", "x<a/>", "</r>"));
    const std::string name(32 << 10, 'n');
    texts.emplace_back("32 KiB names of elements and attributes",
                       fill("<r>", "<" + name + " " + name + "=\"v\">t</" + name + ">", "</r>"));
    // Just too long to lie inside a node: each takes memory of its own.
    const std::string sixteen(16, 'n');
    texts.emplace_back("names and values of 16 bytes",
                       fill("<r>", "<" + sixteen + " " + sixteen + "=\"" + sixteen + "\"/>", "</r>"));
    texts.emplace_back("references", fill("<r>", "&#x41;&amp;&#65;&lt;&#x10FFFF;", "</r>"));
    texts.emplace_back("comments", fill("<r>", "<!---->", "</r>"));
    return texts;
}

}  // namespace orvella_bench
