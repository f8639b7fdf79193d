# The host library as the macOS plug-in links against it: a stub that names
# the functions host/sv_plugin_api.h declares, and the install name under
# which a host ships the library beside its executable. The plug-in then
# binds those functions to that library by name, and a call to anything the
# header does not declare fails the link.
# Both versions are 0: the load command then demands no compatibility version
# of the host's library, whose version we do not know (a stub without them
# would demand 1.0.0, and dyld refuses a library older than what is demanded).
file(STRINGS "${PROJECT_SOURCE_DIR}/host/sv_plugin_api.h" _declarations REGEX "^SVAPI_EXPORT ")
set(_symbols "")
foreach(line IN LISTS _declarations)
  if(line MATCHES "[ *](SvApi[A-Za-z0-9_]+)\\(")
    list(APPEND _symbols "_${CMAKE_MATCH_1}")
  endif()
endforeach()
if(NOT _symbols)
  message(FATAL_ERROR "No host functions found in host/sv_plugin_api.h")
endif()
list(JOIN _symbols ", " _symbols)
set(_stub "${PROJECT_BINARY_DIR}/host/libSvPluginAPI.tbd")
file(CONFIGURE OUTPUT "${_stub}" @ONLY CONTENT [[--- !tapi-tbd
tbd-version:     4
targets:         [ x86_64-macos ]
install-name:    '@executable_path/libSvPluginAPI.dylib'
current-version: 0
compatibility-version: 0
exports:
  - targets:     [ x86_64-macos ]
    symbols:     [ @_symbols@ ]
...
]])
add_library(SvPluginAPI SHARED IMPORTED GLOBAL)
set_target_properties(SvPluginAPI PROPERTIES IMPORTED_LOCATION "${_stub}")
