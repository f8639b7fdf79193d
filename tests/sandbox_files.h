// File-system helpers for tests that run inside tools/sandbox, where
// /Applications, /Library, /tmp and HOME are empty tmpfs folders.
#pragma once

#include <string>

namespace orvella_test {

// Fails the running test (and returns false) unless it runs in the sandbox:
// the tests lay out installations at the real fixed paths.
bool in_sandbox();

void make_directories(const std::string& path);     // like mkdir -p
void write_file(const std::string& path, const std::string& contents);  // parents made
std::string read_file(const std::string& path);     // whole file, "" when missing
bool exists(const std::string& path);               // lstat succeeds
void remove_tree(const std::string& path);          // like rm -rf
// Lays out /Applications/Orvella<version>[_floating].app/Contents/MacOS/
// and returns that directory (ending in "/").
std::string install_bundle(int version, bool floating);

}  // namespace orvella_test
