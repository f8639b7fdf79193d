#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "sandbox_files.h"
#include "support/file_utils.h"
#include "support/path_tests.h"

using namespace orvella;
using namespace orvella_test;

class FileUtils : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(in_sandbox()); }
};

// The two directory tests differ in how a NUL byte in the path is read.
TEST_F(FileUtils, DirectoryTestsFollowLinks) {
    make_directories("/tmp/dir");
    write_file("/tmp/file", "x");
    ASSERT_EQ(0, ::symlink("/tmp/dir", "/tmp/link-to-dir"));
    ASSERT_EQ(0, ::symlink("/tmp/file", "/tmp/link-to-file"));
    ASSERT_EQ(0, ::symlink("/tmp/missing", "/tmp/dangling"));
    struct Case { std::string path; bool directory; bool existing_directory; } cases[] = {
        {"/tmp/dir", true, true},
        {"/tmp/dir/", true, true},
        {"/tmp/link-to-dir", true, true},
        {"/tmp/link-to-dir/", true, true},
        {"/tmp/file", false, false},
        {"/tmp/file/", false, false},
        {"/tmp/link-to-file", false, false},
        {"/tmp/dangling", false, false},
        {"/tmp/missing", false, false},
        {"/tmp/missing/", false, false},
        {"", false, false},
        // A stored "&#0;" puts a NUL into the textures directory: the whole
        // value is no directory, whatever its first part names.
        {std::string("/tmp/dir\0junk", 13), true, false},
        {std::string("/tmp/dir\0", 9), true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.directory, is_directory(c.path)) << c.path;
        EXPECT_EQ(c.existing_directory, is_existing_directory(c.path)) << c.path;
    }
}

// Here, without F_FULLFSYNC, this is the fsync fallback.
TEST_F(FileUtils, SyncToDiskSucceedsForFilesAndReportsFailures) {
    write_file("/tmp/synced", "12345");
    const int file = ::open("/tmp/synced", O_WRONLY);
    ASSERT_LE(0, file);
    EXPECT_TRUE(sync_to_disk(file));
    ::close(file);
    int pipe_ends[2];
    ASSERT_EQ(0, ::pipe(pipe_ends));
    EXPECT_FALSE(sync_to_disk(pipe_ends[1])) << "a pipe has no disk to reach";
    ::close(pipe_ends[0]);
    ::close(pipe_ends[1]);
    EXPECT_FALSE(sync_to_disk(-1));
}

TEST(JoinPath, AlwaysInsertsOneSeparator) {
    EXPECT_EQ("a/b", join_path("a", "b"));
    EXPECT_EQ("/Library/Application Support/Orvella9//sceneapi.log",
              join_path("/Library/Application Support/Orvella9/", "sceneapi.log"));
    EXPECT_EQ("/b", join_path("", "b"));
    EXPECT_EQ("a//b", join_path("a", "/b"));
    EXPECT_EQ("/", join_path("", ""));
}
