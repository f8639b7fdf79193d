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

# A sandboxed test runs through tools/sandbox, one process (and so one fresh
# sandbox) per test case.
set(ORVELLA_SANDBOX ${PROJECT_SOURCE_DIR}/tools/sandbox)
