# Every target of ours builds with these warnings; third-party headers come in as SYSTEM.
#
# TAVOPIX_WERROR makes them errors. It is on by default with the compilers the test command
# builds with (GCC 12, clang 14), whose every build type is kept free of warnings, so a change
# that adds one fails at once in any build folder. Other compiler versions bring warnings of their
# own that say nothing about a fault; there it defaults to off, so a packager's build on a newer
# compiler is not stopped by them. The test command always turns it on.
if((CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13) OR
   (CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 15))
  set(tavopix_werror_default ON)
else()
  set(tavopix_werror_default OFF)
endif()
option(TAVOPIX_WERROR "Treat compiler warnings as errors" ${tavopix_werror_default})

add_library(tavopix_warnings INTERFACE)
target_compile_options(tavopix_warnings INTERFACE
  -Wall -Wextra -Wpedantic $<$<BOOL:${TAVOPIX_WERROR}>:-Werror> -Wshadow -Wnon-virtual-dtor
  -Woverloaded-virtual -Wcast-qual -Wformat=2 -Wimplicit-fallthrough)
# GCC 12 at -O2/-O3 reports overlapping copies inside libstdc++'s own string concatenation
# that cannot happen (a known false positive of that release); the check stays on elsewhere.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(tavopix_warnings INTERFACE -Wno-restrict)
endif()
# A unity build includes the sources into one file, and GCC then takes a class defined in a source
# for one defined in a header: it would report fields of file-local types that are no fault.
if(CMAKE_UNITY_BUILD AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(tavopix_warnings INTERFACE -Wno-subobject-linkage)
endif()
