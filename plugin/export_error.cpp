#include "plugin/export_error.h"

namespace orvella {

namespace {

struct ErrorWord {
    int code;
    const char* word;
};

// The host's export codes; -23 has no word of its own.
const ErrorWord kWords[] = {
    {-1, "UNDEFINED"},
    {-2, "INTERNAL ERROR"},
    {-3, "PARAMS INVALID"},
    {-4, "INVALID GARMENT"},
    {-5, "GARMENT ID MISMATCH"},
    {-6, "GARMENT SIZE"},
    {-7, "OBJECT CREATION FAILED"},
    {-8, "OBJECT DELETION FAILED"},
    {-9, "EDGE POINTS METHOD"},
    {-10, "PARAMETER NOT FOUND"},
    {-11, "SIZE MISMATCH"},
    {-12, "SYMMETRY"},
    {-13, "RENAMING FAILED"},
    {-14, "POINT CREATION FAILED"},
    {-15, "USER DATA KEY INVALID"},
    {-16, "OBJECT NOT FOUND"},
    {-17, "WRONG POINT TYPE"},
    {-18, "INVALID CONTEXT"},
    {-19, "SHAPE INCOMPLETE"},
    {-20, "INVALID IDENTIFIER"},
    {-21, "DEPRECATED FUNCTION"},
    {-22, "SET MATERIAL WRONG TYPE"},
    {-24, "MATERIAL TYPE IS GROUP MATERIAL"},
    {-25, "USER ACTION ONLY"},
    {-26, "NO SNAPSHOT AVAILABLE. THE AVATAR MUST BE DRESSED BEFORE THE GARMENT CAN BE "
          "TRANSFERED TO ORVELLA"},
    {-27, "API NOT SUPPORTED"},
};

}  // namespace

const char* export_error_word(int code) {
    for (const ErrorWord& entry : kWords) {
        if (entry.code == code) return entry.word;
    }
    return "UNKNOWN";
}

std::string export_error_text(int code) {
    return std::string("Export failed with error: ") + export_error_word(code);
}

}  // namespace orvella
