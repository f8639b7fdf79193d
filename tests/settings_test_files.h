// Paths and layouts shared by the settings store's sandboxed tests.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace orvella_test {

const std::string kHome = "/home/tester";
const std::string kPreferencesDir = kHome + "/Library/Preferences";
const std::string kPreferencesName = "com.qorvane.orvella.garvento.plist";
const std::string kPreferences = kPreferencesDir + "/" + kPreferencesName;
const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n";

// A preferences file as the plug-in saves it, with the two values.
std::string preferences_file(const std::string& avatar, const std::string& dir);
// "/Library/Application Support/Orvella<version>/".
std::string support_folder(int version);
// Installs the normal build of `version` (none for -1) and, unless
// `contents` is null, its OV9Settings.xml.
void install_orvella_settings(int version, const char* contents);
// The names in a folder, sorted; leftovers of a save show up here.
std::vector<std::string> folder_entries(const std::string& folder);
// How often `action` opened the file at `path` (inotify; 0 when it cannot
// watch, with the test failed).
std::size_t opens_of(const std::string& path, const std::function<void()>& action);
// `unit` `times` over.
std::string repeated(const std::string& unit, std::size_t times);
// `inside` within `levels` nested <a> elements.
std::string nested_elements(std::size_t levels, const std::string& inside = "");

}  // namespace orvella_test
