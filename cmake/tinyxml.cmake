# TinyXML, built from Debian's source with Debian's series of patches and then
# ours (patches/tinyxml) appended to it, which tools/bootstrap unpacks into
# third_party/tinyxml and applies with quilt, with this build's compiler and
# instrumentation, so that every build, the macOS dylib included, parses with
# the same code, and the sanitizers and the fuzzers see inside the parser. The
# stored-file bytes depend on Debian's entity-encoding patch; the nesting
# limit and linear attribute parsing on ours.
set(ORVELLA_TINYXML_SOURCE_DIR "${PROJECT_SOURCE_DIR}/third_party/tinyxml"
    CACHE PATH "TinyXML 2.6.2 source with Debian's patches and ours applied")

# The Debian version of the source in `dir`, and the patches of its series,
# refusing the source unless quilt applied every one of them and Debian's
# four are among them.
function(orvella_tinyxml_series dir version_var series_var)
  foreach(file debian/changelog debian/patches/series .pc/applied-patches)
    if(NOT EXISTS "${dir}/${file}")
      message(FATAL_ERROR "TinyXML's patched source is missing (${dir}): run tools/bootstrap")
    endif()
  endforeach()
  # Unpacked again by tools/bootstrap, the source is checked again.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    "${dir}/debian/patches/series" "${dir}/.pc/applied-patches")
  file(STRINGS "${dir}/debian/changelog" _first LIMIT_COUNT 1)
  string(REGEX REPLACE "^[^(]*\\(([^)]*)\\).*" "\\1" _version "${_first}")
  file(STRINGS "${dir}/debian/patches/series" _lines)
  set(_series "")
  foreach(_line IN LISTS _lines)
    if(_line MATCHES "^[ \t]*([^# \t]+)")
      list(APPEND _series "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  file(STRINGS "${dir}/.pc/applied-patches" _applied)
  foreach(_patch IN LISTS _series)
    if(NOT _patch IN_LIST _applied)
      message(FATAL_ERROR "TinyXML's source in ${dir} lacks ${_patch} of its series: run tools/bootstrap")
    endif()
  endforeach()
  foreach(_patch enforce-use-stl entity-encoding CVE-2021-42260 CVE-2023-34194)
    if(NOT "${_patch}.patch" IN_LIST _series)
      message(FATAL_ERROR "TinyXML's source in ${dir} lacks Debian's ${_patch} patch")
    endif()
  endforeach()
  set(${version_var} "${_version}" PARENT_SCOPE)
  set(${series_var} "${_series}" PARENT_SCOPE)
endfunction()

# Ours, all of them in its series, each as it is in the repository.
orvella_tinyxml_series("${ORVELLA_TINYXML_SOURCE_DIR}" _tinyxml_version _tinyxml_series)
# In the order of patches/tinyxml/series, which names every patch of the folder.
set(_our_series_file "${PROJECT_SOURCE_DIR}/patches/tinyxml/series")
file(STRINGS "${_our_series_file}" _our_lines)
set(_our_names_in_order "")
foreach(_line IN LISTS _our_lines)
  string(REGEX REPLACE "#.*" "" _line "${_line}")
  string(STRIP "${_line}" _line)
  if(_line)
    list(APPEND _our_names_in_order "${_line}")
  endif()
endforeach()
file(GLOB _our_patches RELATIVE "${PROJECT_SOURCE_DIR}/patches/tinyxml" "${PROJECT_SOURCE_DIR}/patches/tinyxml/*.patch")
foreach(_name IN LISTS _our_patches)
  if(NOT _name IN_LIST _our_names_in_order)
    message(FATAL_ERROR "patches/tinyxml/${_name} is not in patches/tinyxml/series")
  endif()
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_our_series_file}")
set(_our_names "")
set(_expected_tail "")
foreach(_name IN LISTS _our_names_in_order)
  set(patch "${PROJECT_SOURCE_DIR}/patches/tinyxml/${_name}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${patch}")
  file(READ "${patch}" _ours)
  set(_applied "")
  if(_name IN_LIST _tinyxml_series)
    file(READ "${ORVELLA_TINYXML_SOURCE_DIR}/debian/patches/${_name}" _applied)
  endif()
  if(NOT _applied STREQUAL _ours)
    message(FATAL_ERROR "TinyXML's source in ${ORVELLA_TINYXML_SOURCE_DIR} lacks our ${_name} as it is now: run tools/bootstrap")
  endif()
  list(APPEND _our_names "${_name}")
  list(APPEND _expected_tail "${_name}")
endforeach()
# ... and applied in that order, last in the tree's series.
list(LENGTH _tinyxml_series _series_length)
list(LENGTH _expected_tail _tail_length)
if(_tail_length GREATER _series_length)
  set(_applied_tail "")
else()
  math(EXPR _tail_start "${_series_length} - ${_tail_length}")
  list(SUBLIST _tinyxml_series ${_tail_start} ${_tail_length} _applied_tail)
endif()
if(NOT _applied_tail STREQUAL _expected_tail)
  message(FATAL_ERROR "TinyXML's source in ${ORVELLA_TINYXML_SOURCE_DIR} does not end its series with ours in the order of patches/tinyxml/series: run tools/bootstrap")
endif()
list(JOIN _our_names ", " _ours_list)
message(STATUS "TinyXML: Debian's source ${_tinyxml_version}, with ${_ours_list}")

# The differential fuzz target holds the patched parser to Debian's own
# (tests/fuzz/fuzz_tinyxml_patches.cpp): tools/bootstrap unpacks the same
# source with Debian's series only into third_party/tinyxml-debian.
if(ORVELLA_FUZZ)
  set(ORVELLA_TINYXML_DEBIAN_SOURCE_DIR "${PROJECT_SOURCE_DIR}/third_party/tinyxml-debian"
      CACHE PATH "TinyXML 2.6.2 source with Debian's patches only")
  orvella_tinyxml_series("${ORVELLA_TINYXML_DEBIAN_SOURCE_DIR}" _debian_version _debian_series)
  foreach(_name IN LISTS _our_names)
    if(_name IN_LIST _debian_series)
      message(FATAL_ERROR "TinyXML's source with Debian's patches only has our ${_name} (${ORVELLA_TINYXML_DEBIAN_SOURCE_DIR}): run tools/bootstrap")
    endif()
  endforeach()
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
