// The export option text and the export error words.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "plugin/export_error.h"
#include "plugin/export_options.h"

using namespace orvella;

TEST(ExportOptions, ExactTextOfBothVariants) {
    EXPECT_EQ("{\"include_avatar\":true,\"layout\":{\"layout_uv\":{\"piece\":\"per_piece_square\","
              "\"export_inside\":true}},\"path\":\"/tmp/tex/Skirt.fbx\"}",
              export_options("/tmp/tex/Skirt.fbx", "true"));
    EXPECT_EQ(export_options("/a b/ü.fbx", "false"), export_options("/a b/ü.fbx", "false", "8_0"));
    EXPECT_EQ("{\"include_avatar\":false,\"layout\":{\"layout_type\":\"layout_uv\",\"piece\":"
              "\"per_piece_square\",\"export_inside\":true},\"scale\":1,\"up_axis\":\"z\","
              "\"use_pattern_pieces_names\":true,\"3d_format\":\"autodesk_fbx\",\"path\":"
              "\"/tmp/tex/Skirt.fbx\",\"version\":\"FBX201800\",\"type\":\"binary\"}",
              export_options("/tmp/tex/Skirt.fbx", "false", "2019_1"));
}

TEST(ExportOptions, IncludeAvatarIsAlwaysAJsonLiteral) {
    struct Row { const char* stored; bool literal; };
    for (const Row& row : {Row{"true", true}, Row{"false", false}, Row{"", false}, Row{"TRUE", false},
                           Row{"1", false}, Row{"true,\"x\":1", false}}) {
        for (const char* key : {"8_0", "2019_1"}) {
            const nlohmann::json parsed =
                nlohmann::json::parse(export_options("/p.fbx", row.stored, key), nullptr, false);
            ASSERT_TRUE(parsed.is_object()) << row.stored << " " << key;
            EXPECT_EQ(nlohmann::json(row.literal), parsed["include_avatar"]) << row.stored << " " << key;
        }
    }
}

TEST(ExportOptions, AwkwardPathsGiveValidJsonWithThePathIntact) {
    const std::vector<std::string> paths = {
        "/tmp/tex/plain.fbx",
        "/tmp/tex/say \"hi\".fbx",
        "C:\\garments\\back\\slash.fbx",
        "/tmp/tex/new\nline.fbx",
        "/tmp/tex/tab\there.fbx",
        std::string("/tmp/tex/bell\x07") + "\x1f\r\b\f.fbx",
        "/tmp/tex/Röck ñ 裙子.fbx",
        "/tmp/tex/\\\"\\\\\".fbx",
    };
    for (const std::string& path : paths) {
        for (const char* key : {"8_0", "2019_1"}) {
            const std::string text = export_options(path, "true", key);
            EXPECT_EQ(std::string::npos, text.find('\n')) << "one line: " << text;
            const nlohmann::json parsed = nlohmann::json::parse(text, nullptr, false);
            ASSERT_FALSE(parsed.is_discarded()) << text;
            EXPECT_EQ(path, parsed["path"].get<std::string>()) << text;
        }
    }
    EXPECT_EQ("\"a\\u0001b\\u001f\"", json_string("a\x01" "b\x1f"));
}

TEST(ExportErrorText, EveryCodeHasItsWord) {
    struct Row { int code; const char* word; };
    const std::vector<Row> table = {
        {-1, "UNDEFINED"}, {-2, "INTERNAL ERROR"}, {-3, "PARAMS INVALID"}, {-4, "INVALID GARMENT"},
        {-5, "GARMENT ID MISMATCH"}, {-6, "GARMENT SIZE"}, {-7, "OBJECT CREATION FAILED"},
        {-8, "OBJECT DELETION FAILED"}, {-9, "EDGE POINTS METHOD"}, {-10, "PARAMETER NOT FOUND"},
        {-11, "SIZE MISMATCH"}, {-12, "SYMMETRY"}, {-13, "RENAMING FAILED"},
        {-14, "POINT CREATION FAILED"}, {-15, "USER DATA KEY INVALID"}, {-16, "OBJECT NOT FOUND"},
        {-17, "WRONG POINT TYPE"}, {-18, "INVALID CONTEXT"}, {-19, "SHAPE INCOMPLETE"},
        {-20, "INVALID IDENTIFIER"}, {-21, "DEPRECATED FUNCTION"}, {-22, "SET MATERIAL WRONG TYPE"},
        {-23, "UNKNOWN"}, {-24, "MATERIAL TYPE IS GROUP MATERIAL"}, {-25, "USER ACTION ONLY"},
        {-26, "NO SNAPSHOT AVAILABLE. THE AVATAR MUST BE DRESSED BEFORE THE GARMENT CAN BE "
              "TRANSFERED TO ORVELLA"},
        {-27, "API NOT SUPPORTED"}, {-28, "UNKNOWN"}, {3, "UNKNOWN"}, {0, "UNKNOWN"},
    };
    for (const Row& row : table) {
        EXPECT_EQ(std::string("Export failed with error: ") + row.word, export_error_text(row.code))
            << row.code;
    }
}
