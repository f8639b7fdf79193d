# TinyXML, built from Debian's patched source (tools/bootstrap unpacks it into
# third_party/tinyxml) with this build's compiler and instrumentation, so that
# every build, the macOS dylib included, parses with the same code, and the
# sanitizers and the fuzzers see inside the parser. The stored-file bytes depend
# on Debian's entity-encoding patch.
set(ORVELLA_TINYXML_SOURCE_DIR "${PROJECT_SOURCE_DIR}/third_party/tinyxml"
    CACHE PATH "TinyXML 2.6.2 source with Debian's patches applied")
set(_tinyxml_patches "${ORVELLA_TINYXML_SOURCE_DIR}/.pc/applied-patches")
if(NOT EXISTS "${_tinyxml_patches}")
  message(FATAL_ERROR "TinyXML's patched source is missing (${ORVELLA_TINYXML_SOURCE_DIR}): run tools/bootstrap")
endif()
file(STRINGS "${_tinyxml_patches}" _applied)
foreach(patch enforce-use-stl entity-encoding CVE-2021-42260 CVE-2023-34194)
  if(NOT "${patch}.patch" IN_LIST _applied)
    message(FATAL_ERROR "TinyXML's source in ${ORVELLA_TINYXML_SOURCE_DIR} lacks Debian's ${patch} patch")
  endif()
endforeach()

# A fuzz target puts its own TiXmlDocument::Parse in front of the library's
# (tests/fuzz/guarded_parse.cpp), which only a shared library lets it do;
# everywhere else the parser is linked in, as in the product.
# That Parse is TiXmlDocument's key function, so its file carries a second
# copy of the class's virtual table, which AddressSanitizer would report as a
# second definition: the library's globals go uninstrumented there (its heap
# and stack accesses stay checked).
if(ORVELLA_FUZZ)
  add_library(tinyxml SHARED)
  set_target_properties(tinyxml PROPERTIES CXX_VISIBILITY_PRESET default VISIBILITY_INLINES_HIDDEN OFF)
  if(ORVELLA_SANITIZE STREQUAL "address")
    target_compile_options(tinyxml PRIVATE -mllvm -asan-globals=0)
  endif()
else()
  add_library(tinyxml STATIC)
endif()
target_sources(tinyxml PRIVATE
  ${ORVELLA_TINYXML_SOURCE_DIR}/tinyxml.cpp
  ${ORVELLA_TINYXML_SOURCE_DIR}/tinyxmlerror.cpp
  ${ORVELLA_TINYXML_SOURCE_DIR}/tinyxmlparser.cpp)
target_compile_definitions(tinyxml PUBLIC TIXML_USE_STL)
# Its headers are included as system headers, and its own warnings are not ours.
target_include_directories(tinyxml SYSTEM PUBLIC ${ORVELLA_TINYXML_SOURCE_DIR})
target_compile_options(tinyxml PRIVATE -w)
