#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/installation_finder.h"
#include "sandbox_files.h"

using namespace orvella;
using namespace orvella_test;

namespace {

// One installation layout of the table below: bundles by version, and
// whether each is the "_floating" build.
struct Bundle { int version; bool floating; };

struct Layout {
    const char* name;
    std::vector<Bundle> bundles;
    std::string executable;        // orvella_executable_path(8, 20)
    std::string install_directory; // orvella_install_directory(8, 9, -1)
    int install_version;
    int installed_version;         // orvella_installed_version(5, 20)
};

const std::string kApps = "/Applications/";

const std::vector<Layout>& layouts() {
    static const std::vector<Layout> table = {
        {"nothing installed", {}, "", "", -1, -1},
        {"only normal 9", {{9, false}},
         kApps + "Orvella9.app/Contents/MacOS/orvella",
         kApps + "Orvella9.app/Contents/MacOS/", 9, 9},
        {"9 with 9_floating", {{9, false}, {9, true}},
         kApps + "Orvella9.app/Contents/MacOS/orvella",
         kApps + "Orvella9.app/Contents/MacOS/", 9, 9},
        {"10 with 11_floating", {{10, false}, {11, true}},
         kApps + "Orvella11_floating.app/Contents/MacOS/orvella_floating",
         kApps + "Orvella11_floating.app/Contents/MacOS/", 11, 10},
        {"only 10", {{10, false}},
         kApps + "Orvella10.app/Contents/MacOS/orvella", "", -1, 10},
        {"9 with 12_floating", {{9, false}, {12, true}},
         kApps + "Orvella12_floating.app/Contents/MacOS/orvella_floating",
         kApps + "Orvella12_floating.app/Contents/MacOS/", 12, 9},
        {"5_floating only", {{5, true}}, "",
         kApps + "Orvella5_floating.app/Contents/MacOS/", 5, 5},
        {"8 and 9 normal, 21 out of range", {{8, false}, {9, false}, {21, false}},
         kApps + "Orvella9.app/Contents/MacOS/orvella",
         kApps + "Orvella9.app/Contents/MacOS/", 9, 9},
        {"7_floating below the launch range", {{7, true}}, "",
         kApps + "Orvella7_floating.app/Contents/MacOS/", 7, 7},
    };
    return table;
}

void lay_out(const Layout& layout) {
    for (const Bundle& b : layout.bundles) install_bundle(b.version, b.floating);
}

class InstallationFinderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(in_sandbox()); }
    void TearDown() override { remove_tree("/Applications/"); make_directories("/Applications"); }
    void clear() { TearDown(); }
    const InstallationFinder& finder = installation_finder();
};

}  // namespace

TEST_F(InstallationFinderTest, EveryLayoutGivesEachAnswer) {
    for (const Layout& layout : layouts()) {
        lay_out(layout);
        EXPECT_EQ(layout.executable, finder.orvella_executable_path(8, 20)) << layout.name;
        int version = -1;
        EXPECT_EQ(layout.install_directory, finder.orvella_install_directory(8, 9, version))
            << layout.name;
        EXPECT_EQ(layout.install_version, version) << layout.name;
        EXPECT_EQ(layout.installed_version, finder.orvella_installed_version(5, 20)) << layout.name;
        EXPECT_EQ("/Library/Application Support/Orvella" +
                      std::to_string(layout.installed_version) + "/",
                  finder.orvella_support_directory()) << layout.name;
        clear();
    }
    install_bundle(9, false);
    EXPECT_EQ("", finder.orvella_executable_path(20, 8)) << "highest below lowest";
    EXPECT_EQ(-1, finder.orvella_installed_version(20, 5)) << "highest below lowest";
    clear();
    // The "_floating" builds are probed over 20..5 whatever the range, and
    // only replace a result that is strictly older than they are.
    install_bundle(9, true);
    int version = 9;
    EXPECT_EQ("", finder.orvella_install_directory(20, 8, version)) << "floating 9 does not beat 9";
    EXPECT_EQ(9, version);
    version = 8;
    EXPECT_EQ(kApps + "Orvella9_floating.app/Contents/MacOS/",
              finder.orvella_install_directory(20, 8, version)) << "highest below lowest";
    EXPECT_EQ(9, version);
}

TEST_F(InstallationFinderTest, ExistenceTestsRejectFilesAndFollowLinks) {
    // A regular file where the executable directory should be fails both
    // the trailing-"/" stat and the directory test.
    write_file(kApps + "Orvella9.app/Contents/MacOS", "not a directory");
    int version = -1;
    EXPECT_EQ("", finder.orvella_executable_path(8, 20));
    EXPECT_EQ("", finder.orvella_install_directory(8, 9, version));
    EXPECT_EQ(-1, finder.orvella_installed_version(5, 20));
    clear();

    // A link to a directory counts as the directory.
    make_directories("/tmp/real/MacOS");
    make_directories(kApps + "Orvella9.app/Contents");
    ASSERT_EQ(0, ::symlink("/tmp/real/MacOS", (kApps + "Orvella9.app/Contents/MacOS").c_str()));
    EXPECT_EQ(kApps + "Orvella9.app/Contents/MacOS/orvella", finder.orvella_executable_path(8, 20));
    EXPECT_EQ(kApps + "Orvella9.app/Contents/MacOS/", finder.orvella_install_directory(8, 9, version));
    EXPECT_EQ(9, finder.orvella_installed_version(5, 20));
}

TEST_F(InstallationFinderTest, EveryCallProbesAnew) {
    EXPECT_EQ("", finder.orvella_executable_path(8, 20));
    install_bundle(9, false);
    EXPECT_EQ(kApps + "Orvella9.app/Contents/MacOS/orvella", finder.orvella_executable_path(8, 20));
    clear();
    EXPECT_EQ("", finder.orvella_executable_path(8, 20));
    EXPECT_EQ(&finder, &installation_finder());
}
