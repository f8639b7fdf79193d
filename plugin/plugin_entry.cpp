// The plug-in's entry point, SvApiPluginInit, arrives with the host-version
// gate and the menu; until then the library carries the packaging only.
