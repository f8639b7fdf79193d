// One line per host-boundary event, for a person reading the host's output.
#include <cstdio>
#include <string>

#include "standins/garvento/standin_control.h"

namespace standin {

namespace {

// A text in double quotes, with what would break the line made visible.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (c == '\r') out += "\\r";
        else if (c == '"') out += "\\\"";
        else if (c == '\\') out += "\\\\";
        else if (c < 0x20 || c == 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string arg(const Call& call, std::size_t i) { return i < call.args.size() ? call.args[i] : ""; }

std::string box_kind(const std::string& kind) {
    if (kind == std::to_string(SVAPI_BOX_NOTICE)) return "notice";
    if (kind == std::to_string(SVAPI_BOX_CONFIRM)) return "confirm or cancel";
    return "kind " + kind;
}

std::string body(const Call& call) {
    const std::string& f = call.function;
    const std::string result = std::to_string(call.result);
    if (f == "SvApiStringCreate") return "host string created";
    if (f == "SvApiStringGet") return "host string read: " + quoted(arg(call, 0));
    if (f == "SvApiStringRelease") return "host string released: " + quoted(arg(call, 0));
    if (f == "SvApiHostApplicationGet") return "host text given: " + quoted(arg(call, 0));
    if (f == "SvApiGarmentNameGet")
        return "garment " + arg(call, 0) + " name given: " + quoted(arg(call, 1)) + " -> " + result;
    if (f == "SvApiIdentifierSet") return "plug-in identifier: " + quoted(arg(call, 0));
    if (f == "SvApiPluginNameSet") return "plug-in name: " + quoted(arg(call, 0));
    if (f == "SvApiMenuFunctionAdd")
        return "menu entry added: " + quoted(arg(call, 0)) + " (callback id " + arg(call, 2) + ", " +
               arg(call, 1) + ")";
    if (f == "SvApiMenuFunctionReloadAdd") return "menu entry added: reload plug-ins";
    if (f == "SvApiRenderExport3DObject")
        return "export of garment " + arg(call, 0) + " with options " + arg(call, 1) + " -> " + result;
    if (f == "SvApiUpdateSessionFunctionSet_v2") return "session handler set: " + arg(call, 0);
    if (f == "SvApiUpdateSessionFunctionRequest_v2")
        return "session request from " + quoted(arg(call, 0)) + ", callback id " + arg(call, 1) +
               ": " + quoted(arg(call, 2)) + " -> " + result;
    if (f == "SvApiWndMessageBox")
        return "message box (" + box_kind(arg(call, 1)) + "): " + quoted(arg(call, 0));
    if (f == "SvApiWndHTMLCreateUrl")
        return "HTML window " + arg(call, 7) + " opened: page " + quoted(arg(call, 0)) + ", title " +
               quoted(arg(call, 1)) + ", options " + quoted(arg(call, 2)) + ", at " + arg(call, 3) +
               "," + arg(call, 4) + " size " + arg(call, 5) + "x" + arg(call, 6) + " -> " + result;
    if (f == "SvApiWndHTMLEventRegister")
        return "HTML window " + arg(call, 0) + ": event kind " + arg(call, 1) + " goes to " +
               arg(call, 2) + " (callback id " + arg(call, 3) + ") -> " + result;
    if (f == "SvApiWndHTMLMessageSend")
        return "HTML window " + arg(call, 0) + ": message to the page " + quoted(arg(call, 1)) +
               " -> " + result;
    if (f == "SvApiWndHTMLClose") return "HTML window " + arg(call, 0) + " closed -> " + result;
    if (f == "menu pick")
        return "host: menu pick of callback id " + arg(call, 0) + " on garment " + arg(call, 1) +
               " -> plug-in returned " + result;
    if (f == "window event")
        return "host: HTML window " + arg(call, 0) + " event kind " + arg(call, 1) + " " +
               quoted(arg(call, 2)) + " -> plug-in returned " + result;
    if (f == "session callback") {
        if (call.args.size() < 3) return "host: session request " + quoted(arg(call, 1)) + " dropped";
        return "host: session request delivered to " + arg(call, 0) + ", callback id " + arg(call, 1) +
               ": " + quoted(arg(call, 2)) + " -> plug-in returned " + result;
    }
    std::string line = f;
    for (const std::string& a : call.args) line += " " + quoted(a);
    return line + " -> " + result;
}

}  // namespace

std::string describe(const Call& call) {
    std::string line = body(call);
    if (!call.note.empty()) line += " (" + call.note + ")";
    if (!call.host_thread) line += " [not on the host thread]";
    return line;
}

}  // namespace standin
