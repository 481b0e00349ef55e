# Shared build settings and helpers for every subsystem.

add_library(q731_warnings INTERFACE)
target_compile_options(q731_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow
  -Wnon-virtual-dtor -Wcast-align -Wformat=2 -Wimplicit-fallthrough)
if(Q731_WERROR)
  target_compile_options(q731_warnings INTERFACE -Werror)
endif()

if(Q731_SANITIZE)
  string(REPLACE "," ";" _q731_san_list "${Q731_SANITIZE}")
  set(_q731_san_flags "-fsanitize=${Q731_SANITIZE}" -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_compile_options(${_q731_san_flags})
  add_link_options(${_q731_san_flags})
  if("thread" IN_LIST _q731_san_list)
    add_compile_definitions(Q731_TSAN=1)
  endif()
endif()

# Coverage feedback for libFuzzer in every library the fuzz targets link.
if(Q731_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# q731_add_library(name SOURCES ... [DEPS ...])
# A static library of one subsystem, its headers reachable as <folder/header.h>.
function(q731_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  # fmt is the project's formatting library: every subsystem may use it.
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} fmt::fmt PRIVATE q731_warnings ${ARG_PRIVATE_DEPS})
endfunction()

# q731_add_test_suite(name SOURCES ... DEPS ... [LABELS ...])
# One GoogleTest executable; every test case becomes its own CTest test.
function(q731_add_test_suite name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPS;LABELS" ${ARGN})
  if(NOT Q731_BUILD_TESTS)
    return()
  endif()
  find_package(GTest REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main
    q731_warnings)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE
    Q731_SOURCE_DIR="${PROJECT_SOURCE_DIR}" Q731_BINARY_DIR="${PROJECT_BINARY_DIR}")
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  include(GoogleTest)
  set(_q731_properties TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  if(ARG_LABELS)
    list(APPEND _q731_properties LABELS "${ARG_LABELS}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES ${_q731_properties})
endfunction()

# q731_rerun_test_suite(name PREFIX prefix ENVIRONMENT var=value [LABELS ...])
# Every case of a suite once more under another environment (the suites pick
# their back end from it), each named prefix + its own name.
function(q731_rerun_test_suite name)
  cmake_parse_arguments(ARG "" "PREFIX;ENVIRONMENT;TIMEOUT" "LABELS" ${ARGN})
  if(NOT Q731_BUILD_TESTS)
    return()
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  include(GoogleTest)
  set(_q731_properties TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "${ARG_ENVIRONMENT}")
  if(ARG_LABELS)
    list(APPEND _q731_properties LABELS "${ARG_LABELS}")
  endif()
  gtest_discover_tests(${name} TEST_PREFIX "${ARG_PREFIX}" DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60 PROPERTIES ${_q731_properties})
endfunction()

# q731_add_bench(name SOURCES ... DEPS ...)
function(q731_add_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  if(NOT Q731_BUILD_BENCH)
    return()
  endif()
  find_package(benchmark REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark q731_warnings)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
endfunction()
