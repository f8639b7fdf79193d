// Outside XML read as TinyXML's own LoadFile and Parse read it.
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "sandbox_files.h"
#include "settings_test_files.h"
#include "plugin/thread_starter.h"
#include "support/xml_input.h"

using namespace orvella;
using namespace orvella_test;

namespace {

std::string printed(const TiXmlDocument& document) {
    TiXmlPrinter printer;
    document.Accept(&printer);
    return printer.Str();
}

constexpr unsigned char kPaint = 0xA5;

// The lowest byte of `stack` that no longer holds the paint, scanned as raw
// memory: the sanitizers' own marks on a stack are no business of the scan.
#if defined(__clang__)
__attribute__((no_sanitize("address", "thread")))
#else
__attribute__((no_sanitize_address, no_sanitize_thread))
#endif
std::size_t untouched_bytes(const volatile unsigned char* stack, std::size_t size) {
    std::size_t i = 0;
    while (i < size && stack[i] == kPaint) ++i;
    return i;
}

// The stack `body` takes on a thread of its own, whose stack (`size` bytes)
// was painted beforehand, counted from its top (thread start included).
std::size_t stack_used(std::size_t size, const std::function<void()>& body) {
    void* mapped = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        ADD_FAILURE() << "no stack to measure on";
        return 0;
    }
    const std::unique_ptr<void, std::function<void(void*)>> stack(
        mapped, [size](void* p) { ::munmap(p, size); });
    std::memset(mapped, kPaint, size);
    pthread_attr_t attributes;
    ::pthread_attr_init(&attributes);
    ::pthread_attr_setstack(&attributes, mapped, size);
    pthread_t thread;
    auto run = [](void* f) -> void* {
        (*static_cast<const std::function<void()>*>(f))();
        return nullptr;
    };
    const int created =
        ::pthread_create(&thread, &attributes, run, const_cast<std::function<void()>*>(&body));
    ::pthread_attr_destroy(&attributes);
    if (created != 0) {
        ADD_FAILURE() << "no thread to measure on";
        return 0;
    }
    ::pthread_join(thread, nullptr);
    return size - untouched_bytes(static_cast<const unsigned char*>(mapped), size);
}

}  // namespace

TEST(XmlInput, LoadsFilesAsLoadFileDoes) {
    ASSERT_TRUE(in_sandbox());
    struct File {
        const char* contents;
        bool whole;  // the parse reached the end of the text without an error
    };
    const File files[] = {
        {"<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<a>\r\n  <b>x\r\ny</b>\r<c/></a>\r\n", true},
        {"\xEF\xBB\xBF<a><b>\xD0\x9F\xD1\x83\xD1\x82\xD1\x8C</b></a>", true},  // ends at the root
        // Comments, CDATA and unknown nodes run to the end of a text that
        // never closes them without an error: one that ends it does not read whole.
        {"<a/>\n<!-- after -->", false},
        {"<a/>\n<!-- cut", false},
        {"<?xml version ?>\n<a>after a declaration cut short</a>", false},
        {"<?xml version=\"1.0\"?>\n<?xml-stylesheet href=\"s.xsl\"?>\n<a/>\n", true},
        {"<a><b>cut</b><c>", false},
        {"", true},
        {"no xml at all", false},
        // TinyXML stops at these without an error.
        {"<a>kept</a>\ntext at the top level<b/>", false},
        {"<!DOCTYPE a [ <!ENTITY e \"x\"> ]>\n<a>&e;</a>", false},
    };
    for (const auto& [contents, whole] : files) {
        write_file("/tmp/x.xml", contents);
        TiXmlDocument expected("/tmp/x.xml");
        expected.LoadFile(TIXML_ENCODING_UNKNOWN);
        TiXmlDocument loaded("/tmp/x.xml");
        EXPECT_EQ(whole, load_xml_file(loaded, TIXML_ENCODING_UNKNOWN)) << contents;
        EXPECT_EQ(printed(expected), printed(loaded)) << contents;
        EXPECT_EQ("/tmp/x.xml", loaded.ValueStr()) << "the document keeps its file name";
    }
    // A NUL in the file ends the text there, as it ends LoadFile's parse.
    const char with_nul[] = "<a><b>\xD0\0<c/></b></a>";
    write_file("/tmp/x.xml", std::string(with_nul, sizeof with_nul - 1));
    TiXmlDocument cut("/tmp/x.xml");
    load_xml_file(cut, TIXML_ENCODING_UNKNOWN);
    ASSERT_NE(nullptr, cut.FirstChildElement("a"));
    EXPECT_EQ(nullptr, cut.FirstChildElement("a")->FirstChildElement("b")->FirstChildElement("c"));

    TiXmlDocument missing("/tmp/missing.xml");
    load_xml_file(missing, TIXML_ENCODING_UNKNOWN);
    EXPECT_EQ(nullptr, missing.FirstChild());
}

TEST(XmlInput, WhatIsNoRegularFileOfPlausibleSizeLoadsAsMissing) {
    ASSERT_TRUE(in_sandbox());
    make_directories("/tmp/folder.xml");
    ASSERT_EQ(0, ::symlink("/dev/zero", "/tmp/zero.xml"));
    ASSERT_EQ(0, ::mkfifo("/tmp/fifo.xml", 0644));  // no writer: opening it must not wait
    const std::string element = "<a></a>";
    const std::string at_bound = "<a>" + std::string(kMaxXmlFileBytes - element.size(), 'x') + "</a>";
    write_file("/tmp/at-bound.xml", at_bound);
    write_file("/tmp/above-bound.xml", at_bound + " ");
    for (const char* path : {"/tmp/folder.xml", "/tmp/zero.xml", "/tmp/fifo.xml", "/tmp/above-bound.xml"}) {
        TiXmlDocument document(path);
        load_xml_file(document, TIXML_ENCODING_UNKNOWN);
        EXPECT_EQ(nullptr, document.FirstChild()) << path;
    }
    TiXmlDocument largest("/tmp/at-bound.xml");
    load_xml_file(largest, TIXML_ENCODING_UNKNOWN);
    EXPECT_NE(nullptr, largest.FirstChildElement("a")) << "a file of exactly the bound is read";
}

TEST(XmlInput, ParsesTextsAsParseDoes) {
    for (const char* text : {"<scene><model name=\"Dress\"/></scene>", "", "<a><b>x</b>"}) {
        TiXmlDocument expected;
        expected.Parse(text);
        TiXmlDocument parsed;
        parse_xml_text(parsed, text);
        EXPECT_EQ(printed(expected), printed(parsed)) << text;
    }
    // Cut inside a character: Debian's TinyXML would read past the text
    // here (the fuzz targets catch that); what parsed before it is kept.
    for (const char* text : {"<a><b>\xD0", "<a>\xF0", "<a x=\"\xE2\x82"}) {
        TiXmlDocument parsed;
        parse_xml_text(parsed, text);
        ASSERT_NE(nullptr, parsed.FirstChildElement()) << text;
        EXPECT_STREQ("a", parsed.FirstChildElement()->Value()) << text;
    }
    TiXmlDocument cut;
    parse_xml_text(cut, std::string("<a/>\0<b/>", 9));
    EXPECT_EQ(nullptr, cut.FirstChildElement("b")) << "the text ends at its first NUL";
}

TEST(XmlInput, NestingBeyondTheLimitReadsAsNoXml) {
    const std::size_t limit = kMaxXmlDepth;
    const auto nested = nested_elements;
    struct Case {
        const char* what;
        std::string text;
        bool parsed;
    };
    const Case cases[] = {
        {"at the limit", nested(limit, ""), true},
        {"one level more", nested(limit, "<b/>"), false},
        {"never closed", nested(limit, "<b>"), false},
        {"a hundred thousand levels", nested(100000, ""), false},
        {"a deep second root", "<r/>" + nested(limit + 1, ""), false},
    };
    for (const Case& c : cases) {
        TiXmlDocument document;
        parse_xml_file_bytes(document, c.text, TIXML_ENCODING_UNKNOWN);
        EXPECT_EQ(c.parsed, document.FirstChildElement() != nullptr) << c.what;
        EXPECT_EQ(c.parsed, !document.Error()) << c.what;
    }
}

// What a document at the nesting limit takes of the stack to parse, print
// (both ways TinyXML prints) and destroy must leave twice that in reserve on
// the smallest stack anything is parsed on: the hand-off thread's, as this
// build gives it. The figures per level are those of docs/stack.md.
TEST(XmlInput, NestingAtTheLimitTakesAThirdOfTheHandOffStackAtMost) {
    constexpr std::size_t kMeasured = 8 << 20;  // painted, so no operation can overflow it
    const std::size_t shallow = 100;
    struct Use {
        std::size_t parse, print, save, destroy;
    };
    auto use_at = [&](std::size_t depth) {
        const std::string text = nested_elements(depth, "<b x='1'>t</b>");
        auto document = std::make_unique<TiXmlDocument>();
        Use use{};
        use.parse = stack_used(kMeasured, [&] { parse_xml_text(*document, text); });
        EXPECT_FALSE(document->Error()) << depth;
        use.print = stack_used(kMeasured, [&] { EXPECT_FALSE(printed(*document).empty()); });
        use.save = stack_used(kMeasured, [&] {
            std::FILE* sink = std::fopen("/dev/null", "w");
            ASSERT_NE(nullptr, sink);
            EXPECT_TRUE(document->SaveFile(sink));
            std::fclose(sink);
        });
        use.destroy = stack_used(kMeasured, [&] { document.reset(); });
        return use;
    };
    const Use low = use_at(shallow);
    const Use high = use_at(kMaxXmlDepth - 1);  // the innermost <b> is at the limit
    // What a thread takes before its body runs: ThreadSanitizer's state, in
    // static TLS at the top of the stack, is most of it.
    const std::size_t start = stack_used(kMeasured, [] {});
    ASSERT_LT(start, kHandOffThreadStack);
    const std::size_t room = kHandOffThreadStack - start;
    const double levels = static_cast<double>(kMaxXmlDepth - 1 - shallow);
    std::printf("stack per level, bytes: parse %.0f, print %.0f, save %.0f, destroy %.0f;"
                " at the limit of %zu, KiB: parse %zu, print %zu, save %zu, destroy %zu;"
                " the hand-off thread's stack %zu KiB, %zu KiB of it taken at its start\n",
                (high.parse - low.parse) / levels, (high.print - low.print) / levels,
                (high.save - low.save) / levels, (high.destroy - low.destroy) / levels, kMaxXmlDepth,
                (high.parse - start) >> 10, (high.print - start) >> 10, (high.save - start) >> 10,
                (high.destroy - start) >> 10, kHandOffThreadStack >> 10, start >> 10);
    for (std::size_t used : {high.parse, high.print, high.save, high.destroy})
        EXPECT_LE((used - start) * 3, room);
}

