#include "sandbox_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace orvella_test {

bool in_sandbox() {
    // The sandbox runs as uid 1000 with /Applications as a tmpfs.
    struct stat info {};
    const bool ok = ::getuid() == 1000 && ::stat("/Applications", &info) == 0 &&
                    (info.st_mode & S_IWUSR) != 0;
    EXPECT_TRUE(ok) << "this test must run inside tools/sandbox";
    return ok;
}

void make_directories(const std::string& path) { fs::create_directories(path); }

void write_file(const std::string& path, const std::string& contents) {
    const fs::path p(path);
    if (p.has_parent_path()) fs::create_directories(p.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

void remove_tree(const std::string& path) {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

std::string install_bundle(int version, bool floating) {
    const std::string dir = "/Applications/Orvella" + std::to_string(version) +
                            (floating ? "_floating" : "") + ".app/Contents/MacOS/";
    make_directories(dir);
    return dir;
}

}  // namespace orvella_test
