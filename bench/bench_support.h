// Setting the stage for a benchmark inside tools/sandbox, where the fixed
// installation paths are empty folders of the sandbox's own.
#pragma once

#include <cstddef>
#include <string>

namespace orvella_bench {

// Whether this runs inside tools/sandbox (an empty, writable /Applications
// and HOME=/home/tester); the programs refuse to lay anything out elsewhere.
bool in_sandbox();

void make_directories(const std::string& path);  // like mkdir -p
void write_file(const std::string& path, const std::string& contents);
void copy_file(const std::string& from, const std::string& to);  // keeps the mode

// Lays out /Applications/Orvella9.app/Contents/MacOS/ and
// "/Library/Application Support/Orvella9/"; returns the former.
std::string install_orvella9();

// A scene reply of about `bytes` bytes: model sets of models, then a set
// whose "modelset" is `modelset` holding the model `last`, at level 3, so a
// search visits every element before it.
std::string scene_of(std::size_t bytes, const std::string& last, const std::string& modelset);

}  // namespace orvella_bench
