# tavopix_add_test(NAME SOURCES a.cpp b.cpp LIBS lib... [LABELS threads ...])
# One GoogleTest binary per concept or layer, its cases registered with CTest one by one.
# Tests labelled "threads" are also run in the thread-sanitizer build (target tavopix_tsan_tests).
find_package(GTest REQUIRED)
include(GoogleTest)
add_custom_target(tavopix_tsan_tests)

# Every test source includes GoogleTest, whose headers cost about as much to compile as a small
# test itself: they are compiled once, into one precompiled header every test binary reuses (the
# flags are the same throughout tests/; -Winvalid-pch, an error here, says when one is not).
# Debug builds only: GCC 12 forgets that the standard headers inside a precompiled header are
# system headers, and at -O2/-O3 its false stringop-overflow and array-bounds warnings from
# std::basic_string then turn into errors.
set(TAVOPIX_TEST_PCH OFF)
if(CMAKE_BUILD_TYPE STREQUAL "Debug")
  set(TAVOPIX_TEST_PCH ON)
  file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/tavopix_test_pch.cpp CONTENT "")
  add_library(tavopix_test_pch OBJECT ${CMAKE_CURRENT_BINARY_DIR}/tavopix_test_pch.cpp)
  target_link_libraries(tavopix_test_pch PRIVATE GTest::gtest GTest::gmock tavopix_warnings)
  target_precompile_headers(tavopix_test_pch PRIVATE <gtest/gtest.h> <gmock/gmock.h>)
endif()

function(tavopix_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main tavopix_warnings)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  if(TAVOPIX_TEST_PCH)
    target_precompile_headers(${name} REUSE_FROM tavopix_test_pch)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES LABELS "${T_LABELS}"
                       DISCOVERY_TIMEOUT 60)
  if("threads" IN_LIST T_LABELS)
    add_dependencies(tavopix_tsan_tests ${name})
  endif()
endfunction()
