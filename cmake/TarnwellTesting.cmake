# GoogleTest: Debian's library natively, built from Debian's sources for Windows.
# Windows test programs run under Wine as one CTest test per program; a fixture keeps
# one wineserver alive for the whole run.
if(NOT TARNWELL_TESTS)
  return()
endif()

enable_testing()

if(WIN32)
  if(NOT TARGET gtest)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
  add_library(tarnwell_gtest INTERFACE)
  target_link_libraries(tarnwell_gtest INTERFACE gtest gtest_main)
  add_library(tarnwell_gtest_nomain INTERFACE)
  target_link_libraries(tarnwell_gtest_nomain INTERFACE gtest)

  add_test(NAME wine_start COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-run.sh --start)
  add_test(NAME wine_stop COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-run.sh --stop)
  set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine)
  set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine)
else()
  find_package(GTest REQUIRED)
  add_library(tarnwell_gtest INTERFACE)
  target_link_libraries(tarnwell_gtest INTERFACE GTest::gtest GTest::gtest_main)
  add_library(tarnwell_gtest_nomain INTERFACE)
  target_link_libraries(tarnwell_gtest_nomain INTERFACE GTest::gtest)
endif()

# tarnwell_add_test(NAME SOURCES... LIBS...): one test program, run as one CTest test.
function(tarnwell_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} tarnwell_gtest tarnwell_warnings)
  add_test(NAME ${name} COMMAND ${name})
  if(WIN32)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine)
  endif()
endfunction()
