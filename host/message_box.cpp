#include "host/message_box.h"

#include "host/sv_plugin_api.h"

namespace orvella {

void show_notice(const char* text) {
    int answer = SVAPI_ANSWER_OK;
    SvApiWndMessageBox(text, SVAPI_BOX_NOTICE, &answer);
}

bool confirmed(const std::string& question) {
    int answer = SVAPI_ANSWER_OK;
    SvApiWndMessageBox(question.c_str(), SVAPI_BOX_CONFIRM, &answer);
    return answer != SVAPI_ANSWER_CANCELLED;
}

}  // namespace orvella
