#include "standins/garvento/standin_export.h"

#include <cstdio>
#include <memory>

#include <nlohmann/json.hpp>

namespace standin {

namespace {

const int kInternalError = -2;
const int kParamsInvalid = -3;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string fbx_text(const std::string& name) {
    return "; FBX 7.4.0 project file\n"
           "; Written by the stand-in Garvento export service\n"
           "FBXHeaderExtension:  {\n"
           "\tFBXHeaderVersion: 1003\n"
           "\tFBXVersion: 7400\n"
           "}\n"
           "Objects:  {\n"
           "\tModel: 100000, \"Model::" + name + "\", \"Mesh\" {\n"
           "\t\tVersion: 232\n"
           "\t}\n"
           "}\n";
}

}  // namespace

ExportOutcome write_export(const std::string& name, const std::string& options_json) {
    const nlohmann::json options = nlohmann::json::parse(options_json, nullptr, false);
    if (options.is_discarded() || !options.is_object()) {
        return {kParamsInvalid, "option text is not a JSON object", ""};
    }
    const auto avatar = options.find("include_avatar");
    if (avatar == options.end() || !avatar->is_boolean()) {
        return {kParamsInvalid, "\"include_avatar\" is not true or false", ""};
    }
    const auto layout = options.find("layout");
    if (layout == options.end() || !layout->is_object()) {
        return {kParamsInvalid, "\"layout\" is not an object", ""};
    }
    const auto path = options.find("path");
    if (path == options.end() || !path->is_string() || path->get<std::string>().empty()) {
        return {kParamsInvalid, "\"path\" is not a file path", ""};
    }
    const std::string file = path->get<std::string>();
    std::unique_ptr<std::FILE, FileCloser> out(std::fopen(file.c_str(), "wb"));
    if (!out) return {kInternalError, "cannot write " + file, ""};
    const std::string text = fbx_text(name);
    const bool written = std::fwrite(text.data(), 1, text.size(), out.get()) == text.size();
    if (std::fclose(out.release()) != 0 || !written) return {kInternalError, "cannot write " + file, ""};
    return {0, "wrote " + file, file};
}

}  // namespace standin
