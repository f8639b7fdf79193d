// The three tests of what a path names. Each caller relies on its own one's
// exact answer, so they stay three: they differ in what counts as a directory
// and in how a NUL byte in the path is read. All follow links, count every
// failure of the system's stat as false, and may run on any thread.
#pragma once

#include <string>

namespace orvella {

// Anything at all is at `path`: stat succeeds, whatever the kind of file.
// Installation discovery asks it of bundle folders named with a trailing
// "/", which only a directory (or a link to one) passes.
bool path_exists(const std::string& path);

// stat succeeds and the kind has the directory bit set. That bit also lies
// in the kinds of block devices and sockets, which therefore pass too.
// Installation discovery and the file log's folders use it.
bool is_directory(const std::string& path);

// stat succeeds and the kind is exactly a directory; a path holding a NUL
// byte never passes, since stat would examine only the part before it. The
// textures directory of the settings is tested with it.
bool is_existing_directory(const std::string& path);

}  // namespace orvella
