// Makes every TiXmlDocument::Parse in a fuzz target fault on the first byte
// read beyond the text it was given, its terminator included.
// AddressSanitizer, even inside TinyXML, sees only reads past the caller's
// heap block, so a read past the text's terminator but inside the block
// would go unseen whenever the bytes there happen to stop the parser. This
// definition, in the fuzz executable, takes the place of the library's for
// the plug-in's calls and for the library's own (TiXmlDocument::LoadFile
// parses through it too): it copies the text to the very end of a page
// followed by an inaccessible one, and parses the copy there.
// (Built with default visibility, so the definition is exported.)
#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <tinyxml.h>

#include <cstddef>
#include <cstring>

#include "fuzz_check.h"

namespace {

using LibraryParse = const char* (*)(TiXmlDocument*, const char*, TiXmlParsingData*, TiXmlEncoding);

// A writable area followed by one inaccessible page; grown as texts need.
struct GuardedArea {
    char* start = nullptr;
    std::size_t size = 0;  // writable bytes before the inaccessible page
};

char* place_at_guard(const char* text, std::size_t length) {
    static GuardedArea area;
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    if (length > area.size) {
        if (area.start) ::munmap(area.start, area.size + page);
        area.size = (length + page - 1) / page * page;
        void* mapped = ::mmap(nullptr, area.size + page, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        FUZZ_CHECK(mapped != MAP_FAILED);
        area.start = static_cast<char*>(mapped);
        FUZZ_CHECK(::mprotect(area.start + area.size, page, PROT_NONE) == 0);
    }
    char* copy = area.start + area.size - length;
    std::memcpy(copy, text, length);
    return copy;
}

}  // namespace

const char* TiXmlDocument::Parse(const char* text, TiXmlParsingData* data, TiXmlEncoding encoding) {
    static const LibraryParse library = reinterpret_cast<LibraryParse>(
        ::dlsym(RTLD_NEXT, "_ZN13TiXmlDocument5ParseEPKcP16TiXmlParsingData13TiXmlEncoding"));
    FUZZ_CHECK(library != nullptr);
    if (text == nullptr) return library(this, text, data, encoding);
    const std::size_t length = std::strlen(text) + 1;
    const char* copy = place_at_guard(text, length);
    const char* end = library(this, copy, data, encoding);
    return end ? text + (end - copy) : nullptr;
}
