# TinyXML, built from Debian's source with Debian's patches and then ours
# (patches/tinyxml), which tools/bootstrap unpacks into third_party/tinyxml,
# with this build's compiler and instrumentation, so that every build, the
# macOS dylib included, parses with the same code, and the sanitizers and the
# fuzzers see inside the parser. The stored-file bytes depend on Debian's
# entity-encoding patch; the nesting limit and linear attribute parsing on
# ours.
set(ORVELLA_TINYXML_SOURCE_DIR "${PROJECT_SOURCE_DIR}/third_party/tinyxml"
    CACHE PATH "TinyXML 2.6.2 source with Debian's patches and ours applied")
set(_tinyxml_patches "${ORVELLA_TINYXML_SOURCE_DIR}/.pc/applied-patches")
set(_tinyxml_ours "${ORVELLA_TINYXML_SOURCE_DIR}/.orvella-patches")
set(_tinyxml_stamp "${ORVELLA_TINYXML_SOURCE_DIR}/.orvella-version")
if(NOT EXISTS "${_tinyxml_patches}" OR NOT EXISTS "${_tinyxml_ours}" OR NOT EXISTS "${_tinyxml_stamp}")
  message(FATAL_ERROR "TinyXML's patched source is missing (${ORVELLA_TINYXML_SOURCE_DIR}): run tools/bootstrap")
endif()
# Unpacked again by tools/bootstrap, the source is checked again.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_tinyxml_stamp}")
file(STRINGS "${_tinyxml_patches}" _applied)
foreach(patch enforce-use-stl entity-encoding CVE-2021-42260 CVE-2023-34194)
  if(NOT "${patch}.patch" IN_LIST _applied)
    message(FATAL_ERROR "TinyXML's source in ${ORVELLA_TINYXML_SOURCE_DIR} lacks Debian's ${patch} patch")
  endif()
endforeach()
# Ours, each by name, and all as they are now (bootstrap records a digest of
# the patch files it applied, as tools/bootstrap computes it).
file(GLOB _our_patches "${PROJECT_SOURCE_DIR}/patches/tinyxml/*.patch")
list(SORT _our_patches)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_our_patches})
file(STRINGS "${_tinyxml_ours}" _applied_ours)
set(_our_text "")
foreach(patch IN LISTS _our_patches)
  get_filename_component(_name "${patch}" NAME)
  if(NOT _name IN_LIST _applied_ours)
    message(FATAL_ERROR "TinyXML's source in ${ORVELLA_TINYXML_SOURCE_DIR} lacks our ${_name}: run tools/bootstrap")
  endif()
  file(READ "${patch}" _text)
  string(APPEND _our_text "${_text}")
endforeach()
string(SHA256 _our_sum "${_our_text}")
string(SUBSTRING "${_our_sum}" 0 16 _our_sum)
file(READ "${_tinyxml_stamp}" _stamp)
string(STRIP "${_stamp}" _stamp)
if(NOT _stamp MATCHES " ${_our_sum}$")
  message(FATAL_ERROR "TinyXML's source in ${ORVELLA_TINYXML_SOURCE_DIR} has other patches of ours than patches/tinyxml: run tools/bootstrap")
endif()
string(REPLACE " ${_our_sum}" "" _tinyxml_version "${_stamp}")
list(JOIN _applied_ours ", " _ours_list)
message(STATUS "TinyXML: Debian's source ${_tinyxml_version}, with ${_ours_list}")

# The differential fuzz target holds the patched parser to Debian's own
# (tests/fuzz/fuzz_tinyxml_patches.cpp): tools/bootstrap unpacks the same
# source with Debian's patches only into third_party/tinyxml-debian.
if(ORVELLA_FUZZ)
  set(ORVELLA_TINYXML_DEBIAN_SOURCE_DIR "${PROJECT_SOURCE_DIR}/third_party/tinyxml-debian"
      CACHE PATH "TinyXML 2.6.2 source with Debian's patches only")
  if(NOT EXISTS "${ORVELLA_TINYXML_DEBIAN_SOURCE_DIR}/.orvella-version"
     OR EXISTS "${ORVELLA_TINYXML_DEBIAN_SOURCE_DIR}/.orvella-patches")
    message(FATAL_ERROR "TinyXML's source with Debian's patches only is missing (${ORVELLA_TINYXML_DEBIAN_SOURCE_DIR}): run tools/bootstrap")
  endif()
  file(READ "${ORVELLA_TINYXML_DEBIAN_SOURCE_DIR}/.orvella-version" _debian_version)
  string(STRIP "${_debian_version}" _debian_version)
  if(NOT _debian_version STREQUAL _tinyxml_version)
    message(FATAL_ERROR "TinyXML's sources are of two versions (${_debian_version}, ${_tinyxml_version}): run tools/bootstrap")
  endif()
endif()

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
