# orvella_layer(TARGET FOLDER [LINKS lower layers and libraries ...])
#
# One static library per folder of the plug-in, made of the .cpp files the
# folder's CMakeLists.txt adds. Its code includes "FOLDER/name.h" and sees
# only its own folder and the layers it links: the include path holds a
# view of each (a directory in the build tree with one link, named FOLDER,
# to the folder), never the whole source tree. An include of a folder above
# then fails to compile, "No such file or directory".
function(orvella_layer target folder)
  cmake_parse_arguments(L "" "" "LINKS" ${ARGN})
  set(view "${PROJECT_BINARY_DIR}/layers/${target}")
  get_filename_component(parent "${view}/${folder}" DIRECTORY)
  file(MAKE_DIRECTORY "${parent}")
  file(CREATE_LINK "${PROJECT_SOURCE_DIR}/${folder}" "${view}/${folder}" SYMBOLIC)
  add_library(${target} STATIC)
  target_include_directories(${target} PUBLIC "${view}")
  target_link_libraries(${target} PUBLIC ${L_LINKS})
endfunction()
