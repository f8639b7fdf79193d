// Setting the stage for a benchmark inside tools/sandbox, where the fixed
// installation paths are empty folders of the sandbox's own.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

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

// Installs `built`, the live-link library that answers from memory
// (tests/fuzz/fuzz_live_link.cpp), as Orvella 9's and loads it; returns its
// setter of the next reply. The loader's dlopen of the same file finds the
// same instance.
using SetReply = void (*)(const char* data, std::size_t size);
SetReply install_answering_library(const std::string& built);

// Texts of about `bytes` built to make TinyXML work hardest per byte, in time
// or in memory, each with its name; all parse without an error. None holds
// an element's "name".
std::vector<std::pair<std::string, std::string>> worst_texts(std::size_t bytes);

}  // namespace orvella_bench
