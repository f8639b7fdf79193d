#include "plugin/export_options.h"

#include <cstdio>

#include "plugin/host_version.h"

namespace orvella {

std::string json_string(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (byte < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string export_options(const std::string& path, const std::string& include_avatar,
                           const std::string& host_key) {
    // The preferences file may hold anything; the host must get a literal.
    const std::string avatar = include_avatar == "true" ? "true" : "false";
    if (host_key == target_host_key) {
        return "{\"include_avatar\":" + avatar +
               ",\"layout\":{\"layout_uv\":{\"piece\":\"per_piece_square\",\"export_inside\":true}},"
               "\"path\":" + json_string(path) + "}";
    }
    return "{\"include_avatar\":" + avatar +
           ",\"layout\":{\"layout_type\":\"layout_uv\",\"piece\":\"per_piece_square\",\"export_inside\":true},"
           "\"scale\":1,\"up_axis\":\"z\",\"use_pattern_pieces_names\":true,\"3d_format\":\"autodesk_fbx\","
           "\"path\":" + json_string(path) + ",\"version\":\"FBX201800\",\"type\":\"binary\"}";
}

std::string export_options(const std::string& path, const std::string& include_avatar) {
    return export_options(path, include_avatar, target_host_key);
}

}  // namespace orvella
