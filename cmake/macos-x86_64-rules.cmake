# Link rules of the macOS cross build (cmake/macos-x86_64.cmake): shared
# libraries are linked by ld64.lld itself (tools/zig/ld adds the platform, the
# C++ runtime archives and libSystem), so LINKER: options reach it unwrapped.
# It links Zig's runtime from copies in the build tree, which the debug map
# names the same on every machine; set here rather than among the cached link
# flags, so that a build tree configured before takes it too.
foreach(lang C CXX)
  set(CMAKE_${lang}_CREATE_SHARED_LIBRARY
    "${ORVELLA_MACOS_LINKER} -dylib --zig-runtime-dir=${CMAKE_BINARY_DIR}/zig-runtime <LINK_FLAGS> -o <TARGET> -install_name <TARGET_INSTALLNAME_DIR><TARGET_SONAME> <OBJECTS> <LINK_LIBRARIES>")
  set(CMAKE_${lang}_CREATE_SHARED_MODULE "${CMAKE_${lang}_CREATE_SHARED_LIBRARY}")
  set(CMAKE_${lang}_LINKER_WRAPPER_FLAG "")
  set(CMAKE_${lang}_LINKER_WRAPPER_FLAG_SEP "")
endforeach()
