#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <tinyxml.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "sandbox_files.h"
#include "settings/plugin_settings.h"
#include "support/xml_input.h"
#include "settings_test_files.h"

using namespace orvella;
using namespace orvella_test;

namespace {

class PluginSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(in_sandbox());
        make_directories(kPreferencesDir);
    }
};

ino_t inode(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(0, ::lstat(path.c_str(), &info)) << path;
    return info.st_ino;
}

std::string printed(const TiXmlElement& element) {
    TiXmlPrinter printer;
    printer.SetStreamPrinting();
    element.Accept(&printer);
    return printer.Str();
}

}  // namespace

TEST_F(PluginSettingsTest, FieldsAndHomeDirectory) {
    const PluginSettings& shared = plugin_settings();
    EXPECT_EQ(&shared, &plugin_settings());
    EXPECT_EQ("com.stavlin.orvellaplugin", shared.identifier());
    EXPECT_EQ(kPreferences, shared.preferences_path());
    EXPECT_EQ("", shared.default_textures_dir()) << "nothing installed";

    const std::string under_home = "/Library/Preferences/com.qorvane.orvella.garvento.plist";
    const std::vector<std::pair<std::string, std::string>> homes = {
        {"/home/tester/", "/home/tester/" + under_home},  // the doubled separator stays
        {"", under_home},                                 // set but empty is used as it is
        {"relative", "relative" + under_home},
    };
    for (const auto& [home, expected] : homes) {
        ASSERT_EQ(0, ::setenv("HOME", home.c_str(), 1));
        EXPECT_EQ(expected, PluginSettings().preferences_path()) << "HOME=" << home;
    }

    ASSERT_EQ(0, ::unsetenv("HOME"));
    const passwd* entry = ::getpwuid(::getuid());
    const std::string database_home = entry && entry->pw_dir ? entry->pw_dir : "";
    EXPECT_EQ(database_home + under_home, PluginSettings().preferences_path());
    ASSERT_EQ(0, ::setenv("HOME", kHome.c_str(), 1));
}

TEST_F(PluginSettingsTest, SaveCreatesNoFolder) {
    remove_tree(kHome + "/Library");
    EXPECT_FALSE(PluginSettings().save_settings("true", "/data/tex"));
    EXPECT_FALSE(exists(kHome + "/Library"));
    EXPECT_EQ(std::vector<std::string>{}, folder_entries(kHome));
}

TEST_F(PluginSettingsTest, ValuesReadBackUnchanged) {
    const PluginSettings settings;
    const std::vector<std::string> values = {
        "/Users/a&b/<tex>/c>d",
        "/Users/\"quoted\"/it's",
        "/Users/Пётр/テクスチャ/✓",
        "Macintosh HD:Users:tex",
        "tab\there\x01" "bell\x07",
        "&amp; &#x41; stays &lt;",
        "false",
    };
    for (const std::string& value : values) {
        settings.save_settings(value, value);
        EXPECT_EQ(value, settings.read_settings().textures_dir) << value;
        EXPECT_EQ(value, settings.read_settings().include_avatar) << value;
    }
    // Reserved and control characters are written as references.
    settings.save_settings("true", "a&b<c>\"d\"'e'\tf");
    EXPECT_NE(std::string::npos,
              read_file(kPreferences)
                  .find("<TexturesDir>a&amp;b&lt;c&gt;&quot;d&quot;&apos;e&apos;&#x09;f</TexturesDir>"));
    // Without a declaration the file is UTF-8: a reference reads as that character.
    write_file(kPreferences, "<r><TexturesDir>/&#xE9;&#x101;</TexturesDir></r>");
    EXPECT_EQ("/\u00e9\u0101", settings.read_settings().textures_dir);
    // The reader condenses white space, so such a directory comes back changed.
    settings.save_settings("true", "  /a   b  ");
    EXPECT_EQ("/a b", settings.read_settings().textures_dir);
}

// A value that is missing or empty reads as its default, whatever else the
// file holds or lacks; a save from no file writes the five lines, empty
// values as empty pairs.
TEST_F(PluginSettingsTest, MissingOrEmptyValuesReadAsDefaults) {
    install_orvella_settings(9, "<s><folders><textures_default>/T</textures_default></folders></s>");
    const PluginSettings settings;
    ASSERT_EQ("/T/Garvento", settings.default_textures_dir());
    const std::vector<std::string> files = {
        "(no file)",
        preferences_file("", ""),
        "",
        "not xml at all",
        "<r><IncludeAvatar/><TexturesDir/></r>",
        "<r><IncludeAvatar></IncludeAvatar><TexturesDir>   </TexturesDir></r>",
        "<r><x><IncludeAvatar>true</IncludeAvatar><TexturesDir>/deep</TexturesDir></x></r>",
        "<r/><second><IncludeAvatar>true</IncludeAvatar><TexturesDir>/2</TexturesDir></second>",
        // Too deep to parse safely, beside values that would read.
        "<r><IncludeAvatar>true</IncludeAvatar><TexturesDir>/3</TexturesDir>" +
            nested_elements(kMaxXmlDepth) + "</r>",
        // Within the size bound, more nodes than a read takes.
        "<r><IncludeAvatar>true</IncludeAvatar><TexturesDir>/4</TexturesDir>" +
            repeated("<>x", kMaxXmlFileBytes / 4) + "</r>",
    };
    for (const std::string& contents : files) {
        remove_tree(kPreferences);
        if (contents != "(no file)") write_file(kPreferences, contents);
        EXPECT_EQ("false", settings.read_settings().include_avatar) << contents;
        EXPECT_EQ("/T/Garvento", settings.read_settings().textures_dir) << contents;
    }
    using Values = std::pair<std::string, std::string>;
    for (const auto& [avatar, textures] : {Values{"", ""}, Values{"true", "/data/tex"}}) {
        remove_tree(kPreferences);
        EXPECT_TRUE(settings.save_settings(avatar, textures));
        EXPECT_EQ(preferences_file(avatar, textures), read_file(kPreferences));
        EXPECT_EQ(std::vector<std::string>{kPreferencesName}, folder_entries(kPreferencesDir));
    }
    EXPECT_EQ("true", settings.read_settings().include_avatar);
    EXPECT_EQ("/data/tex", settings.read_settings().textures_dir);
}

TEST_F(PluginSettingsTest, SaveKeepsRootOrderAndOtherContent) {
    write_file(kPreferences,
               "<?xml version=\"1.0\" ?>\n"
               "<?xml-stylesheet type=\"text/xsl\" href=\"look.xsl\"?>\n"
               "<!-- written by hand -->\n"
               "<my_root version=\"2\">\n"
               "  <TexturesDir>/old</TexturesDir>\n"
               "  <Other kind=\"x\"><b>me</b></Other>\n"
               "  <!-- note -->\n"
               "</my_root>\n");
    const PluginSettings settings;
    EXPECT_EQ("/old", settings.read_settings().textures_dir);
    settings.save_settings("true", "/new");
    EXPECT_EQ("<?xml version=\"1.0\" ?>\n"
              "<?xml-stylesheet type=\"text/xsl\" href=\"look.xsl\"?>\n"
              "<!-- written by hand -->\n"
              "<my_root version=\"2\">\n"
              "    <TexturesDir>/new</TexturesDir>\n"
              "    <Other kind=\"x\">\n"
              "        <b>me</b>\n"
              "    </Other>\n"
              "    <!-- note -->\n"
              "    <IncludeAvatar>true</IncludeAvatar>\n"
              "</my_root>\n",
              read_file(kPreferences));
    EXPECT_EQ("true", settings.read_settings().include_avatar);
}

// A save rewrites the file from what parsed: a file that did not read whole
// is first kept beside it, whole, under a name nobody holds.
TEST_F(PluginSettingsTest, FileNotReadWholeIsKeptBesideTheSave) {
    const std::string unread = kPreferences + ".unread";
    const std::string hand_edited =
        kDeclaration + "<kept>\n<IncludeAvatar>true</IncludeAvatar>\n"
                       "<TexturesDir>/before</TexturesDir>\n<Broken attr=\n"
                       "<RecentGarments><g>Skirt</g><g>Coat</g></RecentGarments>\n</kept>\n";
    struct Case {
        const char* name;
        std::string contents;
        std::string root;  // the saved file's root
    };
    const std::vector<Case> cases = {
        {"syntax error part-way", hand_edited, "kept"},
        {"over the size bound",
         "<r><TexturesDir>/big</TexturesDir>" + std::string(kMaxXmlFileBytes, ' ') + "</r>",
         "orvella_garvento_settings"},
        {"nested too deep",
         "<r><TexturesDir>/deep</TexturesDir>" + nested_elements(kMaxXmlDepth) + "</r>",
         "orvella_garvento_settings"},
        {"NUL part-way", std::string("<r><TexturesDir>/nul</TexturesDir></r>\0<more/>", 45), "r"},
        // TinyXML stops at these without an error.
        {"text at the top level", "<r><TexturesDir>/t</TexturesDir></r>\nnotes <more/>", "r"},
        {"internal DTD subset",
         "<!DOCTYPE r [ <!ENTITY d \"/d\"> ]>\n<r><TexturesDir>&d;</TexturesDir></r>",
         "orvella_garvento_settings"},
        {"declaration cut short", "<?xml version ?>\n<r><TexturesDir>/t</TexturesDir></r>",
         "orvella_garvento_settings"},
        {"declaration value that reads as markup",
         "<?xml version=\"1.0&quot;?&gt;&lt;r&gt;&lt;TexturesDir&gt;/x\"?>\n<r/>",
         "orvella_garvento_settings"},
    };
    const PluginSettings settings;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write_file(kPreferences, c.contents);
        const ino_t before = inode(kPreferences);
        EXPECT_TRUE(settings.save_settings("false", "/after"));
        EXPECT_EQ(c.contents, read_file(unread));
        EXPECT_EQ(before, inode(unread)) << "kept under a second name, not copied";
        EXPECT_EQ("false", settings.read_settings().include_avatar);
        EXPECT_EQ("/after", settings.read_settings().textures_dir);
        TiXmlDocument reread(kPreferences);
        ASSERT_TRUE(load_xml_file(reread, TIXML_ENCODING_UNKNOWN)) << reread.ErrorDesc();
        EXPECT_EQ(c.root, reread.FirstChildElement()->ValueStr());
        EXPECT_EQ(0u, read_file(kPreferences).rfind("<?xml ")) << "one declaration, first";
        // Read whole now, the file is saved without another copy.
        EXPECT_TRUE(settings.save_settings("true", "/again"));
        EXPECT_EQ((std::vector<std::string>{kPreferencesName, kPreferencesName + ".unread"}),
                  folder_entries(kPreferencesDir));
        remove_tree(unread);
    }

    // A file already there stays; the next name is taken.
    write_file(unread, "the user's own");
    write_file(kPreferences, hand_edited);
    EXPECT_TRUE(settings.save_settings("false", "/after"));
    EXPECT_EQ("the user's own", read_file(unread));
    EXPECT_EQ(hand_edited, read_file(unread + " 2"));
    remove_tree(unread + " 2");

    // A name that already links to the file keeps it: no second keeping.
    write_file(kPreferences, hand_edited);
    remove_tree(unread);
    ASSERT_EQ(0, ::link(kPreferences.c_str(), unread.c_str()));
    EXPECT_TRUE(settings.save_settings("false", "/after"));
    EXPECT_EQ((std::vector<std::string>{kPreferencesName, kPreferencesName + ".unread"}),
              folder_entries(kPreferencesDir));
    EXPECT_EQ(hand_edited, read_file(unread));
    remove_tree(unread);

    // Where it cannot be kept, nothing is saved over the file; nor where the
    // folder takes no new file although the file is kept already (written in
    // place, it would overwrite the kept name's bytes, the same file).
    write_file(kPreferences, hand_edited);
    for (const bool kept : {false, true}) {
        if (kept) {
            ASSERT_EQ(0, ::link(kPreferences.c_str(), unread.c_str()));
        }
        ASSERT_EQ(0, ::chmod(kPreferencesDir.c_str(), 0555));
        EXPECT_FALSE(settings.save_settings("false", "/after")) << kept;
        ASSERT_EQ(0, ::chmod(kPreferencesDir.c_str(), 0755));
        EXPECT_EQ(hand_edited, read_file(kPreferences)) << kept;
    }
    EXPECT_EQ(hand_edited, read_file(unread));
    remove_tree(unread);

    // A file the save may not replace is not kept either, however often OK
    // is pressed.
    ASSERT_EQ(0, ::chmod(kPreferences.c_str(), 0444));
    EXPECT_FALSE(settings.save_settings("false", "/after"));
    EXPECT_FALSE(settings.save_settings("false", "/after"));
    EXPECT_EQ(std::vector<std::string>{kPreferencesName}, folder_entries(kPreferencesDir));
}

// The next read must take what a save writes: a text that would print
// larger than a read takes is not written, and the file keeps what it held.
TEST_F(PluginSettingsTest, SaveWritesOnlyWhatReadsBack) {
    const PluginSettings settings;
    // SaveFile indents each level by four spaces: 2 branches nested 990
    // deep, 14 KB here, would print as about 4 MB.
    std::string branches;
    for (int i = 0; i < 2; ++i) branches += nested_elements(990);
    const std::string deep = "<r><TexturesDir>/old</TexturesDir>" + branches + "</r>";
    write_file(kPreferences, deep);
    ASSERT_EQ("/old", settings.read_settings().textures_dir);
    EXPECT_FALSE(settings.save_settings("true", "/new"));
    EXPECT_EQ(deep, read_file(kPreferences));
    EXPECT_EQ(std::vector<std::string>{kPreferencesName}, folder_entries(kPreferencesDir));

    // The same over the bound from a file that did not read whole: nothing
    // is kept, as nothing is saved.
    write_file(kPreferences, deep + "<oops");
    EXPECT_FALSE(settings.save_settings("true", "/new"));
    EXPECT_EQ(std::vector<std::string>{kPreferencesName}, folder_entries(kPreferencesDir));

    // A lone lead byte would take the "<" after it into the value: refused.
    remove_tree(kPreferences);
    EXPECT_FALSE(settings.save_settings("true", "/T\303"));
    EXPECT_FALSE(exists(kPreferences));

    // The longest reply the settings window takes, without its ":", is both
    // values; each of its characters written as a six-byte reference, it
    // still saves into a small file and reads back.
    const std::string longest(64 << 10, '"');
    remove_tree(kPreferences);
    EXPECT_TRUE(settings.save_settings(longest, longest));
    EXPECT_EQ(longest, settings.read_settings().textures_dir);
    EXPECT_EQ(longest, settings.read_settings().include_avatar);
}

TEST(PluginSettingsWriteValue, LeavesTheValueAloneInItsElement) {
    struct Case {
        const char* before;
        std::string value;
        const char* after;
    };
    const std::vector<Case> cases = {
        {"<r><a>1</a></r>", "v", "<r><a>1</a><K>v</K></r>"},
        {"<r><K>old</K><!--c--></r>", "new", "<r><K>new</K><!--c--></r>"},
        {"<r><K/><K>second</K></r>", "first", "<r><K>first</K><K>second</K></r>"},
        {"<r><K>old</K></r>", std::string("cut\0after", 9), "<r><K>cut</K></r>"},
        {"<r><K>old</K></r>", "", "<r><K></K></r>"},
        // Hand-edited elements: what else they hold would join the value or
        // be read instead of it.
        {"<r><K><!--where-->/old</K></r>", "/new", "<r><K>/new</K></r>"},
        {"<r><K>old<!--c--><x/></K></r>", "new", "<r><K>new</K></r>"},
        {"<r><K><x/>tail</K></r>", "new", "<r><K>new</K></r>"},
        {"<r><K>old<!--c--></K></r>", "", "<r><K></K></r>"},
    };
    for (const Case& c : cases) {
        TiXmlDocument document;
        document.Parse(c.before);
        ASSERT_NE(nullptr, document.RootElement()) << c.before;
        PluginSettings::write_value(*document.RootElement(), "K", c.value);
        EXPECT_EQ(c.after, printed(*document.RootElement())) << c.before;
    }
}

TEST_F(PluginSettingsTest, HandEditedValuesSaveAsTheyReadBack) {
    write_file(kPreferences,
               "<r>\n  <TexturesDir><!-- my textures -->/old</TexturesDir>\n"
               "  <IncludeAvatar>true<!-- or false --></IncludeAvatar>\n  <!-- kept -->\n</r>\n");
    const PluginSettings settings;
    settings.save_settings("false", "/new");
    EXPECT_EQ("/new", settings.read_settings().textures_dir);
    EXPECT_EQ("false", settings.read_settings().include_avatar);
    EXPECT_NE(std::string::npos, read_file(kPreferences).find("<!-- kept -->"));
}

TEST_F(PluginSettingsTest, DefaultTexturesDirFromOrvellaSettings) {
    struct Case {
        const char* name;
        int installed;           // -1: nothing installed
        const char* contents;    // OV9Settings.xml of that version; null: no file
        std::string expected;
    };
    const std::string too_deep = "<s><folders><textures_default>/T</textures_default></folders>" +
                                 nested_elements(kMaxXmlDepth) + "</s>";
    const std::vector<Case> cases = {
        {"textures_default", 9,
         "<s><folders><textures_default>/T</textures_default>"
         "<resource_root_folder>/R</resource_root_folder></folders></s>",
         "/T/Garvento"},
        {"empty textures_default wins over resource_root_folder", 9,
         "<s><folders><textures_default/><resource_root_folder>/R</resource_root_folder>"
         "</folders></s>",
         ""},
        {"only resource_root_folder", 9,
         "<s><folders><resource_root_folder>/R</resource_root_folder></folders></s>",
         "/R/Textures/Garvento"},
        {"neither", 9, "<s><folders><other>/O</other></folders></s>", ""},
        {"no folders", 9, "<s><textures_default>/T</textures_default></s>", ""},
        {"folders after other children, any root name", 9,
         "<?xml version=\"1.0\"?><any><x/><folders><textures_default>/Ä b/</textures_default>"
         "</folders></any>",
         "/Ä b//Garvento"},
        {"no file", 9, nullptr, ""},
        {"malformed after the value", 9,
         "<s><folders><textures_default>/T</textures_default></folders><oops", "/T/Garvento"},
        {"too deep after the value", 9, too_deep.c_str(), ""},
    };
    for (const Case& c : cases) {
        install_orvella_settings(c.installed, c.contents);
        EXPECT_EQ(c.expected, PluginSettings::find_default_textures_dir()) << c.name;
        EXPECT_EQ(c.expected, PluginSettings().default_textures_dir()) << c.name;
        remove_tree("/Applications/");
        remove_tree("/Library/");
    }
}

TEST_F(PluginSettingsTest, DefaultTexturesDirFollowsTheInstalledVersion) {
    const char* const settings_for = "<s><folders><textures_default>%s</textures_default></folders></s>";
    auto file_naming = [&](const std::string& dir) {
        std::string text = settings_for;
        return text.replace(text.find("%s"), 2, dir);
    };
    // Nothing installed: the folder of no version is read, and Orvella 9's
    // file is not consulted.
    write_file(support_folder(9) + "OV9Settings.xml", file_naming("/nine"));
    EXPECT_EQ("", PluginSettings::find_default_textures_dir());

    // Orvella 11 still reads a file named with 9.
    install_bundle(11, false);
    write_file(support_folder(11) + "OV11Settings.xml", file_naming("/eleven-named"));
    EXPECT_EQ("", PluginSettings::find_default_textures_dir());
    write_file(support_folder(11) + "OV9Settings.xml", file_naming("/eleven"));
    EXPECT_EQ("/eleven/Garvento", PluginSettings::find_default_textures_dir());
}

TEST_F(PluginSettingsTest, ReadOnlyFolderSavesInPlaceReadOnlyFileIsKept) {
    const std::string old_file = kDeclaration + "<r><TexturesDir>/old</TexturesDir></r>\n";
    write_file(kPreferences, old_file);
    ASSERT_EQ(0, ::chmod(kPreferences.c_str(), 0640));
    // The folder takes no new file, but the file itself may be written.
    ASSERT_EQ(0, ::chmod(kPreferencesDir.c_str(), 0555));
    EXPECT_TRUE(PluginSettings().save_settings("true", "/in-place"));
    EXPECT_EQ("/in-place", PluginSettings().read_settings().textures_dir);
    EXPECT_EQ("true", PluginSettings().read_settings().include_avatar);
    EXPECT_EQ(std::vector<std::string>{kPreferencesName}, folder_entries(kPreferencesDir));
    struct stat info {};
    ASSERT_EQ(0, ::stat(kPreferences.c_str(), &info));
    EXPECT_EQ(0640u, info.st_mode & 0777);

    // Without a file there, nothing can be saved.
    ASSERT_EQ(0, ::chmod(kPreferencesDir.c_str(), 0755));
    remove_tree(kPreferences);
    ASSERT_EQ(0, ::chmod(kPreferencesDir.c_str(), 0555));
    EXPECT_FALSE(PluginSettings().save_settings("true", "/new"));
    EXPECT_EQ(std::vector<std::string>{}, folder_entries(kPreferencesDir));

    // A file the user made read-only is not replaced.
    ASSERT_EQ(0, ::chmod(kPreferencesDir.c_str(), 0755));
    write_file(kPreferences, old_file);
    ASSERT_EQ(0, ::chmod(kPreferences.c_str(), 0444));
    EXPECT_FALSE(PluginSettings().save_settings("true", "/new"));
    EXPECT_EQ(old_file, read_file(kPreferences));
    EXPECT_EQ(std::vector<std::string>{kPreferencesName}, folder_entries(kPreferencesDir));

    // A replaced file keeps its permission bits.
    ASSERT_EQ(0, ::chmod(kPreferences.c_str(), 0600));
    EXPECT_TRUE(PluginSettings().save_settings("true", "/new"));
    EXPECT_EQ("/new", PluginSettings().read_settings().textures_dir);
    ASSERT_EQ(0, ::stat(kPreferences.c_str(), &info));
    EXPECT_EQ(0600u, info.st_mode & 0777);
}

TEST_F(PluginSettingsTest, WhatIsNoRegularFileReadsAsDefaultsAndStays) {
    install_orvella_settings(9, "<s><folders><textures_default>/T</textures_default></folders></s>");
    const PluginSettings settings;
    const std::string oversized =
        "<r><TexturesDir>/big</TexturesDir>" + std::string(kMaxXmlFileBytes, ' ') + "</r>";
    struct Case {
        const char* name;
        std::function<void()> make;
        mode_t kind;
    };
    const std::vector<Case> cases = {
        {"directory", [] { make_directories(kPreferences); }, S_IFDIR},
        {"link to /dev/zero", [] { ASSERT_EQ(0, ::symlink("/dev/zero", kPreferences.c_str())); },
         S_IFCHR},
        {"FIFO", [] { ASSERT_EQ(0, ::mkfifo(kPreferences.c_str(), 0644)); }, S_IFIFO},
        {"over the size bound", [&] { write_file(kPreferences, oversized); }, S_IFREG},
    };
    for (const Case& c : cases) {
        for (const mode_t folder : {0755, 0555}) {
            SCOPED_TRACE(std::string(c.name) + (folder == 0555 ? ", read-only folder" : ""));
            ASSERT_EQ(0, ::chmod(kPreferencesDir.c_str(), 0755));
            remove_tree(kPreferences);
            c.make();
            ASSERT_EQ(0, ::chmod(kPreferencesDir.c_str(), folder));
            EXPECT_EQ("false", settings.read_settings().include_avatar);
            EXPECT_EQ("/T/Garvento", settings.read_settings().textures_dir);
            if (c.kind == S_IFREG) continue;  // an unreadable file is saved over
            settings.save_settings("true", "/new");
            struct stat info {};
            EXPECT_EQ(0, ::stat(kPreferences.c_str(), &info));
            EXPECT_EQ(c.kind, info.st_mode & S_IFMT) << "left as it was";
            EXPECT_EQ(std::vector<std::string>{kPreferencesName}, folder_entries(kPreferencesDir));
        }
    }
    ASSERT_EQ(0, ::chmod(kPreferencesDir.c_str(), 0755));
}

TEST_F(PluginSettingsTest, SymlinkedPreferencesFileKeepsItsLink) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> links;  // link path, its text
        std::string real_file;
        bool real_exists;
    };
    const std::string store = "/tmp/store/";
    const std::vector<Case> cases = {
        {"absolute", {{kPreferences, store + "prefs.xml"}}, store + "prefs.xml", true},
        {"relative", {{kPreferences, "../../../../tmp/store/prefs.xml"}}, store + "prefs.xml", true},
        {"chain", {{kPreferences, store + "hop"}, {store + "hop", "prefs.xml"}}, store + "prefs.xml",
         true},
        {"dangling", {{kPreferences, store + "new.xml"}}, store + "new.xml", false},
    };
    for (const Case& c : cases) {
        make_directories(store);
        if (c.real_exists) write_file(c.real_file, "<mine><Keep>k</Keep></mine>");
        for (const auto& [link, text] : c.links) ASSERT_EQ(0, ::symlink(text.c_str(), link.c_str()));

        const PluginSettings settings;
        settings.save_settings("true", "/through/link");
        for (const auto& [link, text] : c.links) {
            struct stat info {};
            ASSERT_EQ(0, ::lstat(link.c_str(), &info)) << c.name;
            EXPECT_TRUE(S_ISLNK(info.st_mode)) << c.name << ": " << link;
        }
        EXPECT_EQ("/through/link", settings.read_settings().textures_dir) << c.name;
        EXPECT_EQ(c.real_exists, read_file(c.real_file).find("<Keep>k</Keep>") != std::string::npos)
            << c.name;
        EXPECT_NE(std::string::npos, read_file(c.real_file).find("/through/link")) << c.name;
        EXPECT_EQ(std::vector<std::string>{kPreferencesName}, folder_entries(kPreferencesDir))
            << c.name;
        remove_tree(store);
        remove_tree(kPreferences);
    }
}
