// The default window driver: the window exists only in the host's books.
#include "standins/garvento/window_driver.h"

namespace standin {

WindowDriver::~WindowDriver() = default;
int WindowDriver::on_create(const WindowRequest&) { return 0; }
int WindowDriver::on_message(SvApiWindowHandle, const std::string&) { return 0; }
void WindowDriver::on_close(SvApiWindowHandle) {}
void WindowDriver::on_message_box(const std::string&, int) {}

}  // namespace standin
