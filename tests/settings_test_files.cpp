#include "settings_test_files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "sandbox_files.h"

namespace orvella_test {

std::string preferences_file(const std::string& avatar, const std::string& dir) {
    return kDeclaration + "<orvella_garvento_settings>\n"
                          "    <IncludeAvatar>" + avatar + "</IncludeAvatar>\n"
                          "    <TexturesDir>" + dir + "</TexturesDir>\n"
                          "</orvella_garvento_settings>\n";
}

std::string support_folder(int version) {
    return "/Library/Application Support/Orvella" + std::to_string(version) + "/";
}

void install_orvella_settings(int version, const char* contents) {
    if (version >= 0) install_bundle(version, false);
    if (contents) write_file(support_folder(version) + "OV9Settings.xml", contents);
}

std::vector<std::string> folder_entries(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string nested_elements(std::size_t levels, const std::string& inside) {
    std::string text;
    text.reserve(levels * 7 + inside.size());
    for (std::size_t i = 0; i < levels; ++i) text += "<a>";
    text += inside;
    for (std::size_t i = 0; i < levels; ++i) text += "</a>";
    return text;
}

}  // namespace orvella_test
