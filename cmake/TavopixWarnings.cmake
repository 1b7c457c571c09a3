# Every target of ours builds with warnings as errors; third-party headers come in as SYSTEM.
add_library(tavopix_warnings INTERFACE)
target_compile_options(tavopix_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Werror -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  -Wcast-qual -Wformat=2 -Wimplicit-fallthrough)
# GCC 12 at -O2/-O3 reports overlapping copies inside libstdc++'s own string concatenation
# that cannot happen (a known false positive of that release); the check stays on elsewhere.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(tavopix_warnings INTERFACE -Wno-restrict)
endif()
