// Stand-in host library: the host ABI of plugin/sv_plugin_api.h, arriving with
// the host issue.
#include "plugin/sv_plugin_api.h"
