#include "fuzz_support.h"

#include <ftw.h>
#include <sys/stat.h>
#include <tinyxml.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz_check.h"
#include "settings/plugin_settings.h"
#include "settings/plugin_settings_for_testing.h"
#include "support/xml_input.h"

namespace orvella_fuzz {

const char* const kHomeFolders[] = {
    "textures", "with space", "a&b<c>d", "quote\"apos'", "colon:inside",
    "\xD0\xA2\xD0\xB5\xD0\xBA\xD1\x81\xD1\x82\xD1\x83\xD1\x80\xD1\x8B",  // Cyrillic
    "\xE3\x83\x86\xE3\x82\xAF\xE3\x82\xB9\xE3\x83\x81\xE3\x83\xA3",      // Japanese
};
const int kHomeFolderCount = sizeof(kHomeFolders) / sizeof(kHomeFolders[0]);

namespace {

std::string home;

int remove_entry(const char* path, const struct stat*, int, struct FTW*) {
    return ::remove(path);
}

void remove_home() {
    if (!home.empty()) ::nftw(home.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

void make_directory(const std::string& path) {
    FUZZ_CHECK(::mkdir(path.c_str(), 0700) == 0);
}

}  // namespace

std::string make_throwaway_home() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/orvella-fuzz-home-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    FUZZ_CHECK(::mkdtemp(name.data()) != nullptr);
    home = name.data();
    std::atexit(remove_home);
    make_directory(home + "/Library");
    make_directory(home + "/Library/Preferences");
    for (int i = 0; i < kHomeFolderCount; ++i) make_directory(home + "/" + kHomeFolders[i]);
    FUZZ_CHECK(::setenv("HOME", home.c_str(), 1) == 0);
    FUZZ_CHECK(::chdir(home.c_str()) == 0);
    return home;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(file != nullptr);
    FUZZ_CHECK(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
    FUZZ_CHECK(std::fclose(file) == 0);
}

bool fresh_file_reads(const std::string& include_avatar, const std::string& textures_dir,
                      std::string& avatar_back, std::string& dir_back) {
    // A value is stored up to its first NUL.
    const auto element = [](const char* key, const std::string& value) {
        std::string encoded;
        TiXmlBase::EncodeString(value.substr(0, value.find('\0')), &encoded);
        return std::string("    <") + key + ">" + encoded + "</" + key + ">\n";
    };
    const std::string file = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<r>\n" +
                             element("IncludeAvatar", include_avatar) +
                             element("TexturesDir", textures_dir) + "</r>\n";
    TiXmlDocument document;
    if (!is_utf8(file) || !orvella::parse_xml_file_bytes(document, file, TIXML_ENCODING_UNKNOWN))
        return false;
    avatar_back = orvella::stored_value_in(document, "IncludeAvatar");
    dir_back = orvella::stored_value_in(document, "TexturesDir");
    return true;
}

bool is_utf8(const std::string& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned char lead = *p;
        int length = 0;
        unsigned int code = 0;
        if (lead < 0x80) { ++p; continue; }
        if (lead >= 0xC2 && lead <= 0xDF) { length = 2; code = lead & 0x1F; }
        else if (lead >= 0xE0 && lead <= 0xEF) { length = 3; code = lead & 0x0F; }
        else if (lead >= 0xF0 && lead <= 0xF4) { length = 4; code = lead & 0x07; }
        else return false;
        if (end - p < length) return false;
        for (int i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            code = (code << 6) | (p[i] & 0x3F);
        }
        // Overlong forms, surrogates and values above U+10FFFF.
        if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) ||
            (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
            return false;
        p += length;
    }
    return true;
}

}  // namespace orvella_fuzz
