# Build settings shared by every target of the project: C++17, strict
# warnings, hidden symbols, and the optional sanitizer build.
set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_C_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)
if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()

add_compile_options(-Wall -Wextra -Werror)

if(ORVELLA_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(ORVELLA_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT ORVELLA_SANITIZE STREQUAL "")
  message(FATAL_ERROR "ORVELLA_SANITIZE must be address, thread or empty, not '${ORVELLA_SANITIZE}'")
endif()
# GCC's may-be-uninitialized analysis misfires on sanitizer-instrumented code
# (inside libstdc++'s <regex>, for one), so sanitizer builds leave it off; the
# plain build keeps it.
if(ORVELLA_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-Wno-maybe-uninitialized>)
endif()
# Instrumented builds compile at -O2 whatever the build type: their hand-off
# thread's stack and the fuzz targets' 512 KiB were sized for the frames of
# -O2 (docs/stack.md, "Nesting limit"), and unoptimised instrumented
# frames overflow them on the deepest inputs. (ORVELLA_FUZZ is the cache
# option of the top-level CMakeLists.txt.)
if(ORVELLA_SANITIZE OR ORVELLA_FUZZ)
  add_compile_options(-O2)
endif()

# A sandboxed test runs through tools/sandbox, one process (and so one fresh
# sandbox) per test case.
set(ORVELLA_SANDBOX ${PROJECT_SOURCE_DIR}/tools/sandbox)
